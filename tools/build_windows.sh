#!/usr/bin/env bash
# Cross-builds the Windows programs on Debian 12: installs what is missing, builds OpenCV and the
# image libraries once from the Debian source packages of the versions installed here (the ones
# the Linux build uses) into a cache outside the clone, then the programs and their tests into
# build-windows/ (the `windows` preset), and packs build-windows/plant-scan-tools-<version>-win64.zip.
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
# musl's mathematical functions take the place of msvcrt.dll's (cmake/windows.cmake says why).
musl=musl=1.2.3-1
sources=("${libraries[@]}" "$musl")
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
    local spec name version folder
    mkdir -p "$cache/src"
    for spec in "${sources[@]}"; do
        name=${spec%%=*}
        version=${spec#*=}
        folder=$cache/src/$name-${version#*:}
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
        basename "$cache"/src/download/*.dsc .dsc > "$folder/.fetched"
        rm -rf "$cache/src/download"
        touch "$folder/.unpacked"
    done
}

# 1:1.2.13.dfsg-1 -> 1:1.2.13.dfsg
upstream() { echo "${1%-*}"; }

src_of() {
    local spec
    for spec in "${sources[@]}"; do
        [ "${spec%%=*}" = "$1" ] && { echo "$cache/src/$1-$(v=${spec#*=}; echo "${v#*:}")"; return; }
    done
}

# -- recipe: how the libraries are built (any change down to the end mark builds them anew)
build_cmake() {  # folder, then its CMake options; BUILD_TARGET: one target alone, not installed
    local source=$1
    shift
    rm -rf "$cache/work"
    # Messages name the sources as Debian's build does ("./modules/..."), not this cache.
    cmake -S "$source" -B "$cache/work" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/windows-toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps" \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_FLAGS="-ffile-prefix-map=$source=." \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$source=." -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "$@" >"$cache/work.log" 2>&1 ||
        { tail -n 30 "$cache/work.log"; exit 1; }
    cmake --build "$cache/work" -j"$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"} \
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
    echo "== musl's mathematical functions"; build_math
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
# The functions the programs call, with the helpers and tables they use, as one object that
# every Windows executable links (an archive would lose to msvcrt.dll's imports, whose order
# on the link line comes first for some of them).
musl_files=(acos atan hypot log10 exp expf log pow sin cos __sin __cos __rem_pio2
    __rem_pio2_large __math_divzero __math_invalid __math_oflow __math_uflow __math_xflow
    __math_oflowf __math_uflowf __math_xflowf exp_data log_data pow_data exp2f_data)
build_math() {
    local source work=$cache/math file
    source=$(src_of musl)
    rm -rf "$work"
    mkdir -p "$work/include" "$deps/lib"
    # The two headers of musl's own C library its internal ones include.
    printf '#define __LITTLE_ENDIAN 1234\n#define __BIG_ENDIAN 4321\n#define __BYTE_ORDER __LITTLE_ENDIAN\n' \
        > "$work/include/endian.h"
    : > "$work/include/features.h"
    for file in "${musl_files[@]}"; do
        # musl's own flags for its C99 sources: no contraction, no excess precision.
        x86_64-w64-mingw32-gcc-posix -std=c99 -O2 -fno-builtin -fexcess-precision=standard \
            -frounding-math -ffp-contract=off -Dhidden= -I "$work/include" \
            -I "$source/src/internal" -I "$source/arch/generic" \
            -c "$source/src/math/$file.c" -o "$work/$file.o"
    done
    x86_64-w64-mingw32-ld -r "$work"/*.o -o "$deps/lib/musl_math.o"
    rm -rf "$work"
}

# -- end of recipe

# What the libraries are built from and how.
recipe=$(printf '%s\n' "${sources[@]}" "googletest=$(dpkg-query -W -f='${Version}' googletest)"
    sed -n '/^# -- recipe/,/^# -- end of recipe/p' "${BASH_SOURCE[0]}"
    cat "$repo/cmake/windows-toolchain.cmake")
built=deps-$(printf '%s' "$recipe" | sha256sum | cut -c1-16)
deps=$cache/$built
if [ ! -f "$deps/.complete" ]; then
    fetch_sources
    rm -rf "$deps"
    mkdir -p "$deps"
    build_libraries
    printf '%s\n' "$recipe" > "$deps/.complete"
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
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
(cd build-windows && cpack -G ZIP >/dev/null)
ls build-windows/plant-scan-tools-*-win64.zip
