#!/usr/bin/env bash
# notices_test.sh BUILD DEPS [PROGRAM...]: every file the shipped Windows programs were linked
# from has its notice in what the build installs (the folder the zip and the installer hold):
# the project's own code LICENSE, each library its file under licenses/. The files come from the
# linker's map of each program (installed .exe, and the PROGRAMs the installer carries inside),
# so a library added to the build without its notice fails here. DEPS: the libraries' folder.
set -euo pipefail
# Paths are compared with every symbolic link resolved (deps/ names the libraries' folder).
build=$(realpath "$1")
deps=$(realpath "$2")
shift 2
installed=$(mktemp -d)
trap 'rm -rf "$installed"' EXIT
cmake --install "$build" --prefix "$installed" >/dev/null

# The notices that cover a linked file, relative to the installed folder; nothing if none does.
notices_of() {
    local object
    case $1 in
        "$build"/*) echo LICENSE ;;
        "$deps"/lib/glibc_math/*.o)
            object=$(basename "$1" .o)
            echo "licenses/LGPL-2.1.txt licenses/glibc/sysdeps/ieee754/${object/_//}.c" ;;
        "$deps"/lib/libopencv_*.a) echo licenses/opencv/LICENSE.txt ;;
        "$deps"/lib/libz.a) echo licenses/zlib.txt ;;
        "$deps"/lib/libpng16.a | "$deps"/lib/libpng.a) echo licenses/libpng.txt ;;
        "$deps"/lib/libjpeg.a) echo licenses/libjpeg-turbo.txt ;;
        "$deps"/lib/libtiff.a) echo licenses/libtiff.txt ;;
        /usr/x86_64-w64-mingw32/lib/libwinpthread.a | /usr/x86_64-w64-mingw32/lib/libpthread.a)
            echo licenses/winpthreads.txt ;;
        /usr/x86_64-w64-mingw32/lib/*) echo licenses/mingw-w64.txt ;;
        /usr/lib/gcc/x86_64-w64-mingw32/*) echo licenses/gcc-runtime.txt ;;
    esac
}

# The files a map says were linked: the objects loaded, and the archives members were taken from;
# for the archive CMake makes of a target's own objects, the files it was made of.
linked_files() {
    local folder file
    folder=$(dirname "$1")
    awk '/^Archive member included/ { archives = 1; next }
         /^(Discarded input sections|Memory Configuration|Linker script and memory map)/ { archives = 0 }
         archives && /^[^ \t]/ { sub(/\(.*/, ""); print; next }
         /^LOAD / && !/\.a$/ && $0 != "LOAD dll stuff" { print substr($0, 6) }' "$1" | sort -u |
        while read -r file; do
            if [[ $file = *CMakeFiles/*.dir/objects.a ]]; then
                cat "$folder/$(dirname "$file")"/objects[0-9]* 2>/dev/null | xargs -r printf '%s\n' ||
                    echo "/the list of what $file was made of, which is missing"
            else
                echo "$file"
            fi
        done | while read -r file; do
            # Relative to the folder the program was linked in, which holds its map.
            [[ $file = /* ]] || file=$folder/$file
            realpath -m "$file"
        done | sort -u
}

failures=0
programs=("$@")
for exe in "$installed"/*.exe; do [ -e "$exe" ] && programs+=("$(basename "$exe" .exe)"); done
((${#programs[@]} > $#)) || { echo "no programs installed" >&2; exit 1; }
for program in "${programs[@]}"; do
    map=$(find "$build" -path "$build/wine*" -prune -o -name "$program.map" -print -quit)
    [ -n "$map" ] || { echo "no link map for $program in $build" >&2; failures=$((failures + 1)); continue; }
    while read -r file; do
        notices=$(notices_of "$file")
        if [ -z "$notices" ]; then
            echo "$program links $file, which no notice covers" >&2
            failures=$((failures + 1))
        fi
        for notice in $notices; do
            [ -s "$installed/$notice" ] || {
                echo "$program links $file, whose notice $notice is not installed" >&2
                failures=$((failures + 1))
            }
        done
    done < <(linked_files "$map")
done
[ "$failures" -eq 0 ] || exit 1
echo "the notices of everything ${programs[*]} link are installed"
