# Shared by the scripts in scripts/: package installation and the build.
# Sourced, not run.

# Debian packages the build and the tests need, and why:
#   cmake, ninja-build, g++        the build
#   libgtest-dev, libgmock-dev     the tests
#   lrzsz                          an independent XMODEM peer for interop tests
#   libcli11-dev                   argument parsing of the command-line tools
#   nlohmann-json3-dev             JSON of the virtual unit and of the upgrade history
#   libssl-dev                     SHA-256 digests in the virtual unit's transcript
#   libsqlite3-dev                 the upgrade history (one SQLite file per user or depot)
#   ccache                         rebuilds in seconds instead of minutes on 2 cores
#   qt6-base-dev                   Qt 6 Widgets and QTest for the wizard unitflash
#   xvfb, xauth                    an X server for the wizard's end-to-end test on xcb
# The Windows scripts add their own: g++-mingw-w64-x86-64 and googletest
# (scripts/cross-windows), wine64 (scripts/test-windows), and what building
# SQLite for mingw-w64 takes (UNITFLASH_MINGW_SQLITE_PACKAGES).
UNITFLASH_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev lrzsz
                    libcli11-dev nlohmann-json3-dev libssl-dev libsqlite3-dev
                    ccache qt6-base-dev xvfb xauth)

# What scripts/fuzz needs besides:
#   clang                          the compiler with -fsanitize=fuzzer
#   libclang-rt-14-dev             libFuzzer and clang's sanitizer runtimes
UNITFLASH_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# ensure_packages PKG...: installs those of the packages that are missing,
# quietly; does nothing (and needs no network) when all are present.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# configure_build DIR [cmake options...]: configures without building.
configure_build() {
  local dir=$1; shift
  local launcher=()
  if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so another clone reuses the cache.
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
}

# configure DIR [cmake options...]: the same, under the name scripts/fuzz uses.
configure() {
  configure_build "$@"
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  configure_build "$@"
  cmake --build "$1"
}

# The Linux build of scripts/test: build/test under AddressSanitizer and
# UndefinedBehaviorSanitizer, or build/test-plain with UNITFLASH_SANITIZE=0.
# Sets TEST_BUILD_DIR and TEST_BUILD_OPTS.
test_build_settings() {
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  TEST_BUILD_DIR=build/test
  TEST_BUILD_OPTS=(-DUNITFLASH_WERROR=$werror)
  if [ "${UNITFLASH_SANITIZE:-1}" = 1 ]; then
    TEST_BUILD_OPTS+=(-DUNITFLASH_SANITIZE=ON)
  else
    TEST_BUILD_DIR=build/test-plain
  fi
}

# The mingw-w64 build of scripts/cross-windows, with the tests that
# scripts/test-windows runs under wine (GoogleTest from Debian's sources).
WINDOWS_BUILD_DIR=build/windows
WINDOWS_BUILD_OPTS=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
                    -DUNITFLASH_TESTS=ON -DUNITFLASH_BENCH=ON -DUNITFLASH_WERROR=ON
                    -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64)

# What mingw_sqlite needs: the version to build (libsqlite3-dev), dpkg-source
# to unpack Debian's source package, and tclsh, make and a native compiler
# to produce SQLite's single-file amalgamation from it.
UNITFLASH_MINGW_SQLITE_PACKAGES=(libsqlite3-dev dpkg-dev tcl make gcc xz-utils)

# debian_source PACKAGE VERSION DEST: unpacks Debian's source package of that
# version, with Debian's patches, into DEST (which must not exist). The
# source comes through a private apt configuration with deb-src lines: the
# system's own sources are left as they are.
debian_source() {
  local package=$1 version=$2 dest=$3 codename work
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  work=$(mktemp -d)
  chmod 755 "$work"  # apt's download user reads and writes there
  if ! (
    set -e
    cd "$work"
    printf 'deb-src http://deb.debian.org/debian %s main\ndeb-src http://deb.debian.org/debian-security %s-security main\n' \
      "$codename" "$codename" >sources.list
    mkdir -p lists/partial archives/partial src
    apt=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
         -o Dir::State::Lists="$work/lists" -o Dir::Cache::archives="$work/archives")
    apt-get "${apt[@]}" update -qq
    cd src
    apt-get "${apt[@]}" source --download-only -qq "$package=$version" >/dev/null 2>&1
    dpkg-source -x -q ./*.dsc unpacked >/dev/null 2>&1
    mkdir -p "$(dirname "$dest")"
    mv unpacked "$dest"
  ); then
    echo "Fetching Debian's source of $package $version failed; what it left is in $work"
    return 1
  fi
  rm -rf "$work"
}

# mingw_sqlite: adds SQLite for mingw-w64 to WINDOWS_BUILD_OPTS. No SQLite
# is packaged for mingw, so it is built once per version of Debian's
# libsqlite3-dev from that version's source package (with Debian's
# patches), and kept outside the checkout in
# ${XDG_CACHE_HOME:-~/.cache}/unitflash/mingw-sqlite/VERSION.
mingw_sqlite() {
  local version dir work
  version=$(dpkg-query -W -f='${Version}' libsqlite3-dev)
  dir=${XDG_CACHE_HOME:-$HOME/.cache}/unitflash/mingw-sqlite/$version
  if [ ! -f "$dir/lib/libsqlite3.a" ]; then
    echo "Building SQLite $version for mingw-w64 (once; kept in $dir)"
    work=$(mktemp -d)
    if ! (
      set -e
      debian_source sqlite3 "$version" "$work/src"
      mkdir "$work/amalgamation"
      cd "$work/amalgamation"
      ../src/configure --disable-tcl >configure.log 2>&1
      make sqlite3.c >make.log 2>&1
      x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
        -c sqlite3.c -o sqlite3.o
      rm -rf "$dir.new"
      mkdir -p "$dir.new/include" "$dir.new/lib"
      x86_64-w64-mingw32-ar rcs "$dir.new/lib/libsqlite3.a" sqlite3.o
      cp sqlite3.h sqlite3ext.h "$dir.new/include/"
      rm -rf "$dir"
      mv "$dir.new" "$dir"
    ); then
      echo "Building SQLite for mingw-w64 failed; what it left is in $work"
      return 1
    fi
    rm -rf "$work"
  fi
  WINDOWS_BUILD_OPTS+=(-DSQLite3_INCLUDE_DIR="$dir/include" -DSQLite3_LIBRARY="$dir/lib/libsqlite3.a")
}

# mingw_qt_present: whether Qt for mingw-w64 is installed in its cache folder.
mingw_qt_present() {
  [ -f "$(mingw_qt_prefix)/install/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ]
}

# windows_wizard_opts: adds to WINDOWS_BUILD_OPTS what building the wizard
# unitflash.exe takes: Qt for mingw-w64 (built first if missing), Debian's
# host tools, and the icon maker, built natively in build/host-tools because
# the icons are drawn on this machine.
windows_wizard_opts() {
  ensure_packages "${UNITFLASH_PACKAGES[@]}" "${UNITFLASH_MINGW_QT_PACKAGES[@]}"
  mingw_qt
  configure_build build/host-tools -DUNITFLASH_TESTS=OFF -DUNITFLASH_BENCH=OFF
  cmake --build build/host-tools --target unitflash_icons >/dev/null
  WINDOWS_BUILD_OPTS+=(-DUNITFLASH_MINGW_QT="$MINGW_QT_PREFIX" -DCMAKE_PREFIX_PATH="$MINGW_QT_PREFIX"
                       -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
                       -DUNITFLASH_ICON_MAKER="$PWD/build/host-tools/app/gui/unitflash_icons")
}

# What mingw_qt needs: Debian's Qt (its version is the one built, its tools
# moc, rcc and uic serve the cross-build), dpkg-source for the source
# package, and ccache so that an interrupted build loses nothing.
UNITFLASH_MINGW_QT_PACKAGES=(qt6-base-dev qt6-base-dev-tools dpkg-dev xz-utils ccache)

# mingw_qt_prefix: where Qt for mingw-w64 of this Debian Qt and this mingw
# compiler is installed (or would be).
mingw_qt_prefix() {
  local version gcc
  version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
  gcc=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
  echo "${XDG_CACHE_HOME:-$HOME/.cache}/unitflash/qt6-mingw/$version-gcc$gcc"
}

# mingw_qt: builds Qt's base module for mingw-w64 (Core, Gui, Widgets and
# the Windows platform plugin; no OpenGL, SQL, network, D-Bus, examples or
# tests; no tablet events, whose Windows support needs a header Debian's
# source leaves out for its licence) from Debian's source package of the Linux build's Qt version,
# with Debian's host tools, and installs it into $(mingw_qt_prefix)/install.
# Sets MINGW_QT_PREFIX. Done once: later calls find the installation at
# once, and an interrupted build resumes in its build folder beside it.
# UNITFLASH_QT_JOBS limits the parallel jobs (default: every core).
mingw_qt() {
  local dir
  dir=$(mingw_qt_prefix)
  MINGW_QT_PREFIX=$dir/install
  mingw_qt_present && return 0
  echo "Building Qt for mingw-w64 (once; kept in $dir)"
  [ -f "$dir/src/CMakeLists.txt" ] || debian_source qt6-base "$(dpkg-query -W -f='${Version}' qt6-base-dev)" "$dir/src"
  if [ ! -f "$dir/build/build.ninja" ]; then
    # Its own copy of the toolchain, so that the build folder does not
    # depend on the checkout it was started from.
    cp cmake/mingw-w64.cmake "$dir/mingw-w64.cmake"
    cmake -S "$dir/src" -B "$dir/build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$dir/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$MINGW_QT_PREFIX" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
      -DBUILD_WITH_PCH=OFF -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
      -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
      -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
      -DFEATURE_testlib=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
      -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF \
      -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF \
      -DFEATURE_tabletevent=OFF \
      >"$dir/configure.log" 2>&1 \
      || { echo "Configuring Qt for mingw-w64 failed: see $dir/configure.log"; return 1; }
  fi
  CCACHE_BASEDIR=$dir cmake --build "$dir/build" --parallel "${UNITFLASH_QT_JOBS:-$(nproc)}" \
    || { echo "Building Qt for mingw-w64 failed (run again to resume)"; return 1; }
  cmake --install "$dir/build" >/dev/null
}

