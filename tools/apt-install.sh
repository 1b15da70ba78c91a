#!/usr/bin/env bash
# Installs Debian packages for the build, the tests and their tools: as root
# directly, otherwise through sudo without a password prompt.
#   tools/apt-install.sh PACKAGE...
# Exit status: 0 when apt-get installed them, 1 when it could not (no
# permission, no package source).
set -uo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "apt-install.sh: not root and no sudo to install $*" >&2; exit 1; }
  SUDO="sudo -n"
fi
echo "Installing: $*"
$SUDO apt-get update -qq || true
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null ||
  { echo "apt-install.sh: cannot install $*" >&2; exit 1; }
