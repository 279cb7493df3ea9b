#!/usr/bin/env bash
# Cross-builds the Windows programs on Debian 12: installs what is missing, builds OpenCV and the
# image libraries once from the Debian source packages of the versions installed here (the ones
# the Linux build uses) into a cache outside the clone, then the programs and their tests into
# build-windows/ (the `windows` preset), and packs build-windows/plant-scan-tools-<version>-win64.zip
# and the installer build-windows/plant-scan-tools-<version>-win64.exe.
#
#   PLANT_WINDOWS_CACHE  where the libraries are built and kept
#                        (default ~/.cache/plant-scan-tools/windows, or under $XDG_CACHE_HOME)
#   --deps-only          stop once the libraries are built
#
# The cache holds the sources (src/), and the libraries built (deps-<recipe>/, which deps/ names):
# a new version of a library, or a change to how they are built, builds them all anew beside
# the old ones, which go once the new ones are complete.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$repo/tools/install_missing.sh"

install_missing cmake make pkg-config libopencv-dev g++-mingw-w64-x86-64-posix \
    gcc-mingw-w64-x86-64-posix nasm dpkg-dev xz-utils libgtest-dev wine wine64 nsis
install_commands x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
    x86_64-w64-mingw32-gcc-posix:gcc-mingw-w64-x86-64-posix \
    x86_64-w64-mingw32-ar:binutils-mingw-w64-x86-64 x86_64-w64-mingw32-ld:binutils-mingw-w64-x86-64 \
    x86_64-w64-mingw32-objcopy:binutils-mingw-w64-x86-64 x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64 \
    nasm:nasm dpkg-source:dpkg-dev wine:wine makensis:nsis

export PLANT_WINDOWS_CACHE=${PLANT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/plant-scan-tools/windows}
cache=$PLANT_WINDOWS_CACHE
jobs=$(nproc)
mkdir -p "$cache"

# The source package and version of each library the Linux build runs with.
source_of() { dpkg-query -W -f='${source:Package}=${source:Version}' "$1"; }
libraries=(
    "$(source_of zlib1g)"
    "$(source_of libpng16-16)"
    "$(source_of libjpeg62-turbo)"
    "$(source_of libtiff6)"
    "$(source_of libopencv-imgcodecs406)"
)
# glibc's mathematical functions take the place of mingw-w64's and msvcrt.dll's (cmake/windows.cmake
# says why): the glibc the Linux programs run with.
sources=("${libraries[@]}" "$(source_of libc6)")
# apt-get source needs deb-src entries, which a fresh Debian lacks: a private apt configuration
# holds them (the system's own Debian entries with deb-src), so /etc/apt stays untouched.
private_apt() {
    local dir=$cache/apt codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/parts"
    {
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -e "$f" ] || continue
            awk -v codename="$codename" '
                function flush() {
                    if (text != "" && debian) { gsub(/\nTypes:[^\n]*/, "\nTypes: deb-src", text); print text }
                    text = ""; debian = 0
                }
                /^[ \t]*$/ { flush(); next }
                { text = text "\n" $0 }
                /^Suites:/ { for (i = 2; i <= NF; ++i) if ($i ~ "^" codename "(-updates|-security)?$") debian = 1 }
                END { flush() }' "$f"
        done
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            if [ -e "$f" ]; then cat "$f"; fi
        done | awk -v codename="$codename" '$1 == "deb" {
                for (i = 2; i <= NF; ++i) if ($i ~ "^" codename "(-updates|-security)?$") { $1 = "deb-src"; print; next } }'
    } > "$dir/sources.list.new"
    # One-line entries and deb822 stanzas end up in two files of the same folder.
    grep -v '^deb-src' "$dir/sources.list.new" | sed '1{/^$/d}' > "$dir/parts/debian.sources" || true
    grep '^deb-src' "$dir/sources.list.new" > "$dir/sources.list" || true
    rm -f "$dir/sources.list.new"
    [ -s "$dir/parts/debian.sources" ] || [ -s "$dir/sources.list" ] || {
        echo "build_windows: no Debian entry in /etc/apt to take the source packages from" >&2
        exit 1
    }
    apt_options=(-o "Dir::Etc::SourceList=$dir/sources.list" -o "Dir::Etc::SourceParts=$dir/parts"
        -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache"
        -o "Dir::Etc::Preferences=/dev/null" -o "Dir::Etc::PreferencesParts=$dir/parts"
        -o "Debug::NoLocking=1")
    # Downloads run as root then, into folders the sandbox user may not enter.
    [ "$(id -u)" -ne 0 ] || apt_options+=(-o "APT::Sandbox::User=root")
    apt-get "${apt_options[@]}" update -qq
}

# Unpacks each source package once, into src/<package>-<version>.
fetch_sources() {
    local entry name version folder
    mkdir -p "$cache/src"
    for entry in "${sources[@]}"; do
        name=${entry%%=*}
        version=${entry#*=}
        folder=$(folder_of "$entry")
        [ -f "$folder/.unpacked" ] && continue
        [ -n "${apt_options+x}" ] || private_apt
        echo "== Fetching the source of $name $version"
        rm -rf "$folder" "$cache/src/download"
        mkdir -p "$cache/src/download"
        # The installed version first. A mirror updated since may have replaced it, or may not
        # serve it (a security update): then the mirror's others of the same upstream release.
        local candidate fetched=""
        for candidate in "$version" $(apt-cache "${apt_options[@]}" showsrc "$name" |
                sed -n 's/^Version: //p' | sort -r -V | grep -F "$(upstream "$version")-"); do
            if (cd "$cache/src/download" &&
                apt-get "${apt_options[@]}" source -qq --download-only "$name=$candidate" >/dev/null 2>&1); then
                fetched=$candidate
                break
            fi
            rm -f "$cache"/src/download/*
        done
        [ -n "$fetched" ] || { echo "build_windows: cannot fetch the source of $name $version" >&2; exit 1; }
        [ "$fetched" = "$version" ] ||
            echo "build_windows: $name $version cannot be fetched, building $fetched (same upstream release)"
        dpkg-source --no-check --no-copy -x "$cache"/src/download/*.dsc "$folder" >/dev/null
        # Of glibc's 300 MB, the math alone is kept.
        if [ "$name" = glibc ]; then
            mv "$folder/sysdeps/ieee754" "$cache/src/ieee754"
            rm -rf "$folder"
            mkdir -p "$folder/sysdeps"
            mv "$cache/src/ieee754" "$folder/sysdeps/ieee754"
        fi
        basename "$cache"/src/download/*.dsc .dsc > "$folder/.fetched"
        rm -rf "$cache/src/download"
        touch "$folder/.unpacked"
    done
    # Sources of versions no longer asked for.
    for folder in "$cache"/src/*; do
        for entry in "${sources[@]}"; do
            [ "$folder" = "$(folder_of "$entry")" ] && continue 2
        done
        rm -rf "$folder"
    done
}

# 1:1.2.13.dfsg-1 -> 1:1.2.13.dfsg
upstream() { echo "${1%-*}"; }

# zlib=1:1.2.13.dfsg-1 -> $cache/src/zlib-1.2.13.dfsg-1
folder_of() {
    local version=${1#*=}
    echo "$cache/src/${1%%=*}-${version#*:}"
}

# The folder of a source package, by its name.
src_of() {
    local entry
    for entry in "${sources[@]}"; do
        [ "${entry%%=*}" = "$1" ] && { folder_of "$entry"; return; }
    done
}

# -- recipe: how the libraries are built (any change down to the end mark builds them anew)
build_cmake() {  # folder, then its CMake options; BUILD_TARGET: one target alone, not installed
    local source=$1
    shift
    rm -rf "$cache/work"
    # Messages name the sources as Debian's build does ("./modules/..."), not this cache. Each
    # library finds those built before it in the new folder.
    PLANT_WINDOWS_DEPS=$deps cmake -S "$source" -B "$cache/work" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/windows-toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps" \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_FLAGS="-ffile-prefix-map=$source=." \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$source=." -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "$@" >"$cache/work.log" 2>&1 ||
        { tail -n 30 "$cache/work.log"; exit 1; }
    PLANT_WINDOWS_DEPS=$deps cmake --build "$cache/work" -j"$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"} \
        >>"$cache/work.log" 2>&1 || { tail -n 30 "$cache/work.log"; exit 1; }
    [ -n "${BUILD_TARGET:-}" ] || { cmake --install "$cache/work" >>"$cache/work.log" 2>&1; rm -rf "$cache/work"; }
}

build_libraries() {
    local start=$SECONDS
    # Debian's zlib source lacks the Windows resource file of the DLL: the static library alone.
    echo "== zlib";          BUILD_TARGET=zlibstatic build_cmake "$(src_of zlib)"
    mkdir -p "$deps/include" "$deps/lib"
    cp "$(src_of zlib)/zlib.h" "$cache/work/zconf.h" "$deps/include/"
    cp "$cache/work/libzlibstatic.a" "$deps/lib/libz.a"
    echo "== libpng";        build_cmake "$(src_of libpng1.6)" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$deps"
    echo "== libjpeg-turbo"; build_cmake "$(src_of libjpeg-turbo)" -DENABLE_SHARED=OFF \
        -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON
    echo "== libtiff";       build_cmake "$(src_of tiff)" -Dtiff-tools=OFF -Dtiff-tests=OFF \
        -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF \
        -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=ON -Dcxx=OFF
    echo "== OpenCV";        build_opencv
    # GoogleTest from the source libgtest-dev installs: the version the Linux tests build with.
    echo "== GoogleTest";    build_cmake /usr/src/googletest -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
    echo "Libraries built in $((SECONDS - start)) s"
}

build_opencv() {
    local source
    source=$(src_of opencv)
    # Debian's CPU baseline (SSE2) and OpenCV's default dispatch, as in debian/rules, so that
    # the same code paths run on both systems.
    build_cmake "$source" -DBUILD_LIST=core,imgproc,imgcodecs -DBUILD_opencv_apps=OFF \
        -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
        -DBUILD_ZLIB=OFF -DBUILD_PNG=OFF -DBUILD_JPEG=OFF -DBUILD_TIFF=OFF -DBUILD_WEBP=OFF \
        -DBUILD_OPENJPEG=OFF -DBUILD_JASPER=OFF -DBUILD_OPENEXR=OFF -DBUILD_PROTOBUF=OFF \
        -DWITH_PNG=ON -DWITH_JPEG=ON -DWITH_TIFF=ON -DWITH_WEBP=OFF -DWITH_OPENJPEG=OFF \
        -DWITH_JASPER=OFF -DWITH_OPENEXR=OFF -DWITH_GDAL=OFF -DWITH_GDCM=OFF -DWITH_IPP=OFF \
        -DWITH_ITT=OFF -DWITH_OPENCL=OFF -DWITH_LAPACK=OFF -DWITH_EIGEN=OFF -DWITH_ADE=OFF \
        -DWITH_QUIRC=OFF -DWITH_FFMPEG=OFF -DWITH_GSTREAMER=OFF -DWITH_MSMF=OFF \
        -DWITH_DSHOW=OFF -DWITH_WIN32UI=OFF -DWITH_VTK=OFF -DWITH_PROTOBUF=OFF \
        -DWITH_DIRECTX=OFF -DWITH_OPENCL_D3D11_NV=OFF -DWITH_TBB=OFF -DWITH_OPENMP=OFF \
        -DHAVE_PTHREAD=1 -DWITH_PTHREADS_PF=ON -DOPENCV_ENABLE_NONFREE=OFF \
        -DCPU_BASELINE=SSE2 -DCPU_BASELINE_DISABLE=SSE3 \
        -DZLIB_ROOT="$deps" -DOPENCV_GENERATE_PKGCONFIG=OFF -DINSTALL_CREATE_DISTRIB=OFF
}
# -- end of recipe

# -- math: how the mathematical functions are built (a change down to its end mark builds them anew)
# The mathematical functions the programs and OpenCV call, from glibc: the generic code, which
# glibc itself runs on a processor without FMA. Objects, which every Windows executable links
# whole (from an archive, msvcrt.dll's imports would win where a link line meets them first),
# with glibc's names for them turned into C's and its other names made its own.
glibc_sources=(dbl-64/e_asin dbl-64/s_atan dbl-64/e_atan2 dbl-64/e_hypot dbl-64/e_log10
    dbl-64/e_log dbl-64/e_log_data dbl-64/e_exp dbl-64/e_exp_data dbl-64/e_pow
    dbl-64/e_pow_log_data dbl-64/math_err dbl-64/s_sin dbl-64/s_sincos dbl-64/branred
    dbl-64/sincostab flt-32/e_acosf flt-32/s_atanf flt-32/e_expf flt-32/e_exp2f_data
    flt-32/e_logf flt-32/e_logf_data flt-32/s_sinf flt-32/s_cosf flt-32/s_sincosf
    flt-32/s_sincosf_data flt-32/math_errf)
glibc_names=(__ieee754_acos:acos __atan:atan __ieee754_atan2:atan2 __hypot:hypot
    __ieee754_log10:log10 __log:log __exp:exp __pow:pow __sin:sin __cos:cos __sincos:sincos
    __ieee754_acosf:acosf __atanf:atanf __expf:expf __logf:logf __sinf:sinf __cosf:cosf
    __sincosf:sincosf)
build_math() {
    local source work=$cache/math file pair symbol
    source=$(src_of glibc)/sysdeps/ieee754
    rm -rf "$work" "$deps/lib/glibc_math"
    mkdir -p "$work" "$deps/lib/glibc_math"
    for file in "${glibc_sources[@]}"; do
        # glibc's own flags for its math; x86-64's SSE2 rounds every operation to its type.
        x86_64-w64-mingw32-gcc-posix -std=gnu11 -O2 -frounding-math -ffp-contract=off \
            -include "$repo/cmake/windows/glibc/glibc_shim.h" -I "$repo/cmake/windows/glibc" \
            -I "$source/${file%%/*}" -I "$source/dbl-64" -c "$source/$file.c" -o "$work/${file/\//_}.o"
    done
    for pair in "${glibc_names[@]}"; do echo "${pair/:/ }"; done > "$work/names"
    x86_64-w64-mingw32-nm --defined-only -g "$work"/*.o | awk 'NF == 3 {print $3}' | sort -u |
        while read -r symbol; do
            grep -q "^$symbol " "$work/names" || echo "$symbol plant_glibc$symbol"
        done >> "$work/names"
    for file in "$work"/*.o; do
        x86_64-w64-mingw32-objcopy --redefine-syms="$work/names" "$file" \
            "$deps/lib/glibc_math/$(basename "$file")"
    done
    rm -rf "$work"
}
# -- end of math

# The notices the Windows programs owe, into the folder given (licenses\ of the zip and of the
# installed folder): each library's licence from its source, the toolchain runtime's from the
# copyright files of the Debian packages that hold it, and glibc's mathematical functions as
# compiled (the LGPL's terms for a library linked statically: its source, and how to rebuild
# the programs with a changed one). tests/installer/notices_test.sh checks that every library
# the programs link has its notice here.
collect_notices() {
    local out=$1 file
    rm -rf "$out"
    mkdir -p "$out/opencv"
    cp "$(src_of opencv)/LICENSE" "$out/opencv/LICENSE.txt"
    cp "$(src_of opencv)/COPYRIGHT" "$out/opencv/COPYRIGHT.txt"
    cp "$(src_of opencv)/debian/copyright" "$out/opencv/debian-copyright.txt"
    # What OpenCV's build installs of the third-party code it holds.
    for file in "$deps"/share/licenses/opencv4/*; do
        [ -f "$file" ] && cp "$file" "$out/opencv/$(basename "${file%.txt}").txt"
    done
    cp "$(src_of zlib)/LICENSE" "$out/zlib.txt"
    cp "$(src_of libpng1.6)/LICENSE" "$out/libpng.txt"
    # LICENSE.md names the IJG licence, which README.ijg holds.
    { cat "$(src_of libjpeg-turbo)/LICENSE.md"; printf '\n\nREADME.ijg\n==========\n\n'
      cat "$(src_of libjpeg-turbo)/README.ijg"; } > "$out/libjpeg-turbo.txt"
    cp "$(src_of tiff)/LICENSE.md" "$out/libtiff.txt"
    cp "$(copyright_of libmingwex.a)" "$out/mingw-w64.txt"
    # Of mingw-w64's file, winpthreads' paragraphs (not its tests) and the licences they name.
    awk 'function ours(p) { sub(/\nCopyright:.*/, "", p); return p ~ /winpthreads\// && p !~ /tests_pthread/ }
        BEGIN { RS = ""; ORS = "\n\n" }
        FNR == NR { if (/^Files:/ && ours($0) && match($0, /\nLicense: [^\n]+/))
                        named[substr($0, RSTART + 10, RLENGTH - 10)] = 1
                    next }
        FNR == 1 || (/^Files:/ && ours($0)) || (/^License:/ && ($2 in named))' \
        "$(copyright_of libwinpthread.a)" "$(copyright_of libwinpthread.a)" > "$out/winpthreads.txt"
    sed -n '/^The following runtime libraries are licensed/,/^requirements of the license of GCC\./p' \
        "$(copyright_of libstdc++.a)" > "$out/gcc-runtime.txt"
    grep -q '^GCC RUNTIME LIBRARY EXCEPTION' "$out/gcc-runtime.txt" &&
        [ "$(tail -n 1 "$out/gcc-runtime.txt")" = "requirements of the license of GCC." ] &&
        grep -q '^License: expat' "$out/winpthreads.txt" ||
        { echo "build_windows: the toolchain's copyright files are not as expected" >&2; exit 1; }
    cp /usr/share/common-licenses/LGPL-2.1 "$out/LGPL-2.1.txt"
    collect_glibc_sources "$out/glibc"
    notices_readme > "$out/README.txt"
}

# The copyright file of the Debian package that holds a library the compiler links.
copyright_of() {
    local library
    library=$(realpath "$(x86_64-w64-mingw32-gcc-posix -print-file-name="$1")")
    echo "/usr/share/doc/$(dpkg -S "$library" | cut -d: -f1)/copyright"
}

# Each glibc function's source with every glibc file it includes, found as build_math compiles
# it, and cmake/windows/glibc as shims/: the folder compiles alone.
collect_glibc_sources() {
    local out=$1 source file
    source=$(src_of glibc)
    mkdir -p "$out/shims"
    cp /usr/share/doc/libc6/copyright "$out/copyright.txt"
    cp "$repo"/cmake/windows/glibc/* "$out/shims/"
    for file in "${glibc_sources[@]}"; do
        x86_64-w64-mingw32-gcc-posix -std=gnu11 -M -include "$repo/cmake/windows/glibc/glibc_shim.h" \
            -I "$repo/cmake/windows/glibc" -I "$source/sysdeps/ieee754/${file%%/*}" \
            -I "$source/sysdeps/ieee754/dbl-64" "$source/sysdeps/ieee754/$file.c"
    done | tr -s ' \\' '\n\n' | grep "^$source/" | sort -u | while read -r file; do
        mkdir -p "$(dirname "$out/${file#"$source/"}")"
        cp "$file" "$out/${file#"$source/"}"
    done
}

# licenses\README.txt, with CR LF: cmake/windows/licenses/README.txt, given the source packages,
# the glibc functions and glibc's version.
notices_readme() {
    local text functions="" pair source
    source=$(src_of glibc)
    for pair in "${glibc_names[@]}"; do functions+="${functions:+, }${pair#*:}"; done
    text=$(cat "$repo/cmake/windows/licenses/README.txt")
    text=${text//@SOURCES@/$(printf '  %s\n' "${sources[@]}" | sed 's/=/ /')}
    text=${text//@FUNCTIONS@/$(fold -s -w 92 <<< "$functions" | sed 's/^/  /; s/ *$//')}
    text=${text//@GLIBC_VERSION@/${source##*/glibc-}}
    printf '%s\n' "$text" | sed 's/$/\r/'
}

# What the libraries are built from and how.
recipe=$(printf '%s\n' "${libraries[@]}" "googletest=$(dpkg-query -W -f='${Version}' googletest)"
    sed -n '/^# -- recipe/,/^# -- end of recipe/p' "${BASH_SOURCE[0]}"
    cat "$repo/cmake/windows-toolchain.cmake")
math_recipe=$(source_of libc6; sed -n '/^# -- math/,/^# -- end of math/p' "${BASH_SOURCE[0]}"
    cat "$repo"/cmake/windows/glibc/*)
built=deps-$(printf '%s' "$recipe" | sha256sum | cut -c1-16)
deps=$cache/$built
if [ ! -f "$deps/.complete" ]; then
    fetch_sources
    rm -rf "$deps"
    mkdir -p "$deps"
    build_libraries
    printf '%s\n' "$recipe" > "$deps/.complete"
fi
if [ "$(cat "$deps/.math" 2>/dev/null)" != "$math_recipe" ]; then
    fetch_sources
    echo "== glibc's mathematical functions"
    build_math
    printf '%s' "$math_recipe" > "$deps/.math"
fi
# The toolchain file looks for the libraries in deps/.
[ -L "$cache/deps" ] || rm -rf "$cache/deps"
ln -sfn "$built" "$cache/deps"
for old in "$cache"/deps-*; do
    [ "$old" = "$deps" ] || rm -rf "$old"
done
[ "${1:-}" = "--deps-only" ] && exit 0

echo "== The Windows programs and tests"
cd "$repo"
fetch_sources
collect_notices build-windows/licenses
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
(cd build-windows && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null)
ls build-windows/plant-scan-tools-*-win64.zip build-windows/plant-scan-tools-*-win64.exe
# The wine prefix the tests run in, made now: its first start takes longer than ctest gives a
# test program to list its tests.
tools/wine_run.sh cmd.exe /c exit
