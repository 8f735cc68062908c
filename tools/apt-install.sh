#!/usr/bin/env bash
# Installs Debian packages that a set-up script found missing: apt-get as root, otherwise a
# message that names them and a failure.  Usage: apt-install.sh "WHAT THEY ARE" PACKAGE...
set -euo pipefail
what=$1
shift
[ $# -eq 0 ] && exit 0
echo "Installing $what: $*"
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
  echo "Please install: $* (for example: sudo apt-get install $*)" >&2
  exit 1
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
