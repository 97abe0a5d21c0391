# Builds, or reuses from the cache, the Windows x64 Qt (shared DLLs) and QuaZip that the
# cross build links against. Sourced by scripts/build-windows.
#
# Both are built from Debian's own sources with Debian's mingw-w64, once per machine: the cache
# lives outside the checkout and each build is keyed by its version and configure flags, so a
# change of either builds a fresh one beside the old.

QT_VERSION=5.15.8
QUAZIP_VERSION=1.4
MINGW=x86_64-w64-mingw32
QUILLON_CACHE=${QUILLON_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillon}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

# Debian ships no wintab.h, so the tablet support and the Direct2D plugin are left out.
QT_CONFIGURE_FLAGS=(
    -xplatform win32-g++ -device-option CROSS_COMPILE=$MINGW-
    -release -shared -opensource -confirm-license
    -nomake examples -nomake tests
    -no-opengl -no-dbus -no-feature-sql -no-feature-tabletevent -no-direct2d
    -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -qt-harfbuzz -qt-freetype
)

WINDOWS_PACKAGES=(
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
    wine wine64 xvfb xauth x11-utils dpkg-dev python3 zip unzip nsis
)

flags_key() {
    printf '%s\n' "$@" | sha256sum | cut -c1-12
}

qt_prefix() {
    echo "$QUILLON_CACHE/qt-$QT_VERSION-mingw64-$(flags_key "${QT_CONFIGURE_FLAGS[@]}")"
}

quazip_prefix() {
    echo "$QUILLON_CACHE/quazip-$QUAZIP_VERSION-on-$(basename "$(qt_prefix)")"
}

ensure_windows_toolchain() {
    ensure_packages "${WINDOWS_PACKAGES[@]}"
    # Qt needs std::thread: the posix thread model of mingw-w64 has it, the win32 one not.
    local tool
    for tool in gcc g++; do
        if [ "$(readlink -f /usr/bin/$MINGW-$tool)" != "/usr/bin/$MINGW-$tool-posix" ]; then
            $SUDO update-alternatives --set $MINGW-$tool /usr/bin/$MINGW-$tool-posix >/dev/null
        fi
    done
}

# Debian's source packages need a deb-src entry; the binary entries stay as they are.
ensure_debian_sources() {
    if apt-cache showsrc qtbase-opensource-src 2>/dev/null | grep -q '^Package:'; then
        return 0
    fi
    echo "Adding Debian's source entries"
    . /etc/os-release
    $SUDO tee /etc/apt/sources.list.d/quillon-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME $VERSION_CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt_update "$SUDO"
}

# Unpacks the upstream tarball of a Debian source package into $2 (left empty on failure).
fetch_debian_source() {
    local package=$1 dest=$2 work
    work=$(mktemp -d)
    (cd "$work" && apt-get source --download-only -qq "$package" >/dev/null 2>&1)
    local tarball
    tarball=$(ls "$work"/*.orig.tar.* | head -n 1)
    mkdir -p "$dest"
    tar -xf "$tarball" -C "$dest" --strip-components=1
    rm -rf "$work"
}

ensure_windows_qt() {
    local prefix
    prefix=$(qt_prefix)
    if [ -f "$prefix/.complete" ]; then
        echo "Windows Qt: cached in $prefix"
        return 0
    fi
    ensure_debian_sources
    local src="$QUILLON_CACHE/src/qtbase-$QT_VERSION"
    rm -rf "$src" "$prefix"
    echo "Windows Qt: building $QT_VERSION from Debian's source into $prefix (about 20 minutes on 2 cores)"
    fetch_debian_source qtbase-opensource-src "$src"
    local started=$SECONDS
    (
        cd "$src"
        # configure builds qmake with a plain make: MAKEFLAGS lets that use every core too.
        MAKEFLAGS=-j"$(nproc)" ./configure -prefix "$prefix" "${QT_CONFIGURE_FLAGS[@]}" \
            > "$QUILLON_CACHE/qt-configure.log" 2>&1
        # Build first: the install targets do not order corelib after its bundled pcre2. Then
        # install with -j as well, or make redoes the build serially on the way.
        make -j"$(nproc)" > "$QUILLON_CACHE/qt-build.log" 2>&1
        make -j"$(nproc)" install > "$QUILLON_CACHE/qt-install.log" 2>&1
    ) || { echo "Windows Qt build failed; see $QUILLON_CACHE/qt-*.log"; tail -n 30 "$QUILLON_CACHE/qt-build.log" 2>/dev/null; return 1; }
    touch "$prefix/.complete"
    rm -rf "$src"
    echo "Windows Qt: built in $((SECONDS - started)) s"
}

ensure_windows_quazip() {
    local prefix qt
    prefix=$(quazip_prefix)
    qt=$(qt_prefix)
    if [ -f "$prefix/.complete" ]; then
        echo "Windows QuaZip: cached in $prefix"
        return 0
    fi
    ensure_debian_sources
    local src="$QUILLON_CACHE/src/quazip-$QUAZIP_VERSION"
    rm -rf "$src" "$prefix"
    fetch_debian_source libquazip1-qt5 "$src"
    cmake -S "$src" -B "$src/build" \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
        -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_BUILD_TYPE=Release -DQUAZIP_QT_MAJOR_VERSION=5 \
        -DQUAZIP_BZIP2=OFF -DQUAZIP_FETCH_LIBS=OFF -DBUILD_SHARED_LIBS=ON >/dev/null
    cmake --build "$src/build" -j"$(nproc)" >/dev/null
    cmake --install "$src/build" >/dev/null
    touch "$prefix/.complete"
    rm -rf "$src"
    echo "Windows QuaZip: built into $prefix"
}
