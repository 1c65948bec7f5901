#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Idempotent: when every package and the zlib source are present it returns at once.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
third="$here/third_party"   # ignored by git; holds the fetched zlib source
zlib_version="1:1.2.13.dfsg-1"
zlib_dir="zlib-1.2.13.dfsg"
zlib_sha256="71feb7947e3c00ef125f83b79a4e529bde31171e5babe48b391f06758d1ab0a1"

packages=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  googletest libgtest-dev wine wine32:i386 wine64 xvfb x11-utils imagemagick fonts-wqy-microhei
  fonts-arphic-ukai locales python3 nginx-light curl aria2 clang libclang-rt-14-dev
  g++ dpkg-dev iproute2)

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_ dpkg --add-architecture i386
  fi
  # minizip comes from Debian's own zlib source package
  if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
      sudo_ tee /etc/apt/sources.list.d/quorvi-src.sources >/dev/null
  fi
  sudo_ apt-get update -q
  DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$third/$zlib_dir/contrib/minizip/unzip.c" ]; then
  if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
      sudo_ tee /etc/apt/sources.list.d/quorvi-src.sources >/dev/null
    sudo_ apt-get update -q
  fi
  mkdir -p "$third"
  (cd "$third" && apt-get source --download-only "zlib=$zlib_version")
  tarball="$third/zlib_1.2.13.dfsg.orig.tar.bz2"
  echo "$zlib_sha256  $tarball" | sha256sum -c --quiet
  tar -xjf "$tarball" -C "$third"
fi

# Some sandboxed kernels cannot execute 32-bit Linux programs, and wine32 is one.
# The tests then run a 64-bit build of the same sources under wine64; the 32-bit
# product is still built.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi > "$third/test-arch"
