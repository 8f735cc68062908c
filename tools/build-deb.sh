#!/usr/bin/env bash
# Builds the Debian package (tarrow_VERSION_ARCH.deb) from a copy of the source tree in the
# given folder (default build/deb), so that dpkg-buildpackage, which writes its results beside
# the source, leaves nothing next to the repository. Installs the packaging tools and the
# package's build dependencies with apt-get when run as root, or says what to install.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/deb}")
version=$(sed -n '1s/^tarrow (\([^)]*\)).*/\1/p' debian/changelog)
stage="$out/tarrow-$version"

rm -rf "$out"
mkdir -p "$stage"
# The files the repository holds (tracked, or new and not ignored), as they are now.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$stage"
else
  tar --exclude='./build*' --exclude=./.git --exclude=node_modules -cf - . | tar -xf - -C "$stage"
fi

cd "$stage"
if ! command -v dpkg-buildpackage >/dev/null 2>&1 || ! dpkg-checkbuilddeps >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    echo "Please install the packaging tools and build dependencies, for example:" >&2
    echo "  sudo apt-get install dpkg-dev && sudo apt-get build-dep $stage" >&2
    exit 1
  fi
  echo "Installing the packaging tools and the package's build dependencies"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq dpkg-dev
  DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq "$stage"
fi
dpkg-buildpackage -us -uc -b
ls "$out"/*.deb
