#!/usr/bin/env bash
# Cross-builds tavex-cli.exe and tavex-gerador.exe for 64-bit Windows on Debian 12
# with mingw-w64 (posix threads), statically linked, in build-windows/.
#
# Idempotent; run as root (it installs packages when missing). The libraries
# Debian does not ship for mingw are built from their Debian source packages, at
# the versions pinned below, in ${TAVEX_WINDOWS_CACHE:-/var/cache/tavex-windows}
# (outside the tree; a library already built there is not built again).
# GoogleTest comes from /usr/src/googletest (libgtest-dev); nlohmann-json from
# /usr/include (copied into the prefix). Debian's cpp-httplib header declares only (its code lives in the
# shared library), so the single header of its source package is used.
#
#   tools/windows/build.sh [cmake targets...]   default: tavex-cli tavex-gerador
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export TAVEX_WINDOWS_CACHE=${TAVEX_WINDOWS_CACHE:-/var/cache/tavex-windows}
cache=$TAVEX_WINDOWS_CACHE
prefix=$cache/prefix
host=x86_64-w64-mingw32
jobs=${TAVEX_JOBS:-2}

# Debian 12's versions of the sources built here.
sqlite_version=3.40.1-2+deb12u2
tomcrypt_version=1.18.2-6
tommath_version=1.2.0-6+deb12u1
httplib_version=0.11.4+ds-1+deb12u1

log() { echo "== $*" >&2; }

install_packages() {
  local wanted=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                mingw-w64-x86-64-dev wine64 libgtest-dev nlohmann-json3-dev tcl dpkg-dev make cmake ninja-build)
  local missing=() p
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "Instalando: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# A deb-src entry mirroring the first deb822 source of the system, when there is none.
add_deb_src() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  log "Acrescentando fontes deb-src"
  local f=/etc/apt/sources.list.d/tavex-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$f"
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/tavex-deb-src.list
  fi
  apt-get update -qq
}

# fetch PACKAGE VERSION: unpacks the Debian source into $cache/src/PACKAGE-VERSION.
fetch() {
  local package=$1 version=$2 dir=$cache/src/$1-$2
  [ -f "$dir/.fetched" ] && { echo "$dir"; return 0; }
  add_deb_src
  rm -rf "$dir.tmp" && mkdir -p "$dir.tmp"
  (cd "$dir.tmp" && apt-get source -qq "$package=$version" >&2)
  rm -rf "$dir"
  mv "$(find "$dir.tmp" -mindepth 1 -maxdepth 1 -type d | head -1)" "$dir"
  rm -rf "$dir.tmp"
  touch "$dir/.fetched"
  echo "$dir"
}

mingw_make() {
  nice make -j"$jobs" CC=$host-gcc-posix AR=$host-gcc-ar-posix RANLIB=$host-gcc-ranlib-posix "$@"
}

build_sqlite() {
  [ -f "$prefix/lib/libsqlite3.a" ] && return 0
  log "SQLite $sqlite_version"
  local src; src=$(fetch sqlite3 "$sqlite_version")
  local b=$cache/build/sqlite3
  rm -rf "$b" && mkdir -p "$b"
  # The amalgamation is generated with the build machine's tools, then cross-compiled.
  (cd "$b" && "$src/configure" --disable-tcl >/dev/null && nice make -j"$jobs" sqlite3.c >/dev/null)
  (cd "$b" && nice $host-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite3.c -o sqlite3.o \
     && $host-gcc-ar-posix rcs libsqlite3.a sqlite3.o)
  install -D -m644 "$b/sqlite3.h" "$prefix/include/sqlite3.h"
  install -D -m644 "$b/sqlite3ext.h" "$prefix/include/sqlite3ext.h"
  install -D -m644 "$b/libsqlite3.a" "$prefix/lib/libsqlite3.a"
}

build_tommath() {
  [ -f "$prefix/lib/libtommath.a" ] && return 0
  log "LibTomMath $tommath_version"
  local src; src=$(fetch libtommath "$tommath_version")
  (cd "$src" && make clean >/dev/null 2>&1 || true)
  (cd "$src" && mingw_make CFLAGS="-O2" libtommath.a >/dev/null)
  install -D -m644 "$src/libtommath.a" "$prefix/lib/libtommath.a"
  install -D -m644 "$src/tommath.h" "$prefix/include/tommath.h"
}

build_tomcrypt() {
  [ -f "$prefix/lib/libtomcrypt.a" ] && return 0
  log "LibTomCrypt $tomcrypt_version"
  local src; src=$(fetch libtomcrypt "$tomcrypt_version")
  (cd "$src" && make clean >/dev/null 2>&1 || true)
  (cd "$src" && mingw_make CFLAGS="-O2 -DUSE_LTM -DLTM_DESC -I$prefix/include" library >/dev/null)
  install -D -m644 "$src/libtomcrypt.a" "$prefix/lib/libtomcrypt.a"
  mkdir -p "$prefix/include"
  cp "$src"/src/headers/*.h "$prefix/include/"
}

fetch_httplib() {
  [ -f "$prefix/include/httplib.h" ] && return 0
  log "cpp-httplib $httplib_version"
  local src; src=$(fetch cpp-httplib "$httplib_version")
  install -D -m644 "$src/httplib.h" "$prefix/include/httplib.h"
}

# The JSON library is header-only: its headers and CMake package, as Debian installs
# them, copied into the prefix (the cross build must not search /usr/include).
copy_json() {
  [ -f "$prefix/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake" ] && return 0
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  cp -r /usr/include/nlohmann "$prefix/include/"
  cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
}

build_gtest() {
  [ -f "$prefix/lib/libgtest.a" ] && return 0
  log "GoogleTest (libgtest-dev)"
  local b=$cache/build/googletest
  rm -rf "$b"
  cmake -S /usr/src/googletest -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
  nice cmake --build "$b" -j"$jobs" >/dev/null
  cmake --install "$b" >/dev/null
}

install_packages
mkdir -p "$cache/src" "$cache/build" "$prefix"
start=$SECONDS
build_sqlite
build_tommath
build_tomcrypt
fetch_httplib
copy_json
build_gtest
log "Dependências prontas em $((SECONDS - start)) s"

start=$SECONDS
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# A changed toolchain file changes the compilers' flags: configured anew.
[ "$root/tools/windows/mingw-w64-x86_64.cmake" -nt "$root/build-windows/CMakeCache.txt" ] && rm -f "$root/build-windows/CMakeCache.txt"
cmake -S "$root" -B "$root/build-windows" -G Ninja "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTAVEX_WERROR=ON -DTAVEX_FUZZ=OFF -DTAVEX_BUILD_TESTS=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(tavex-cli tavex-gerador)
nice cmake --build "$root/build-windows" -j"$jobs" --target "${targets[@]}"
log "Compilação para Windows em $((SECONDS - start)) s"
