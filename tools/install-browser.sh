#!/usr/bin/env bash
# Installs the headless browser that the report's browser test drives
# (Debian's `chromium`), when it is missing. Quiet when it is present.
# Exit status: 0 when /usr/bin/chromium is there afterwards, 1 when it cannot
# be installed (no package source, no permission).
set -uo pipefail

command -v chromium >/dev/null && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-browser.sh: not root and no sudo" >&2; exit 1; }
  SUDO="sudo -n"
fi
echo "Installing: chromium"
$SUDO apt-get update -qq || true
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends chromium fonts-dejavu-core >/dev/null \
  || { echo "install-browser.sh: chromium cannot be installed" >&2; exit 1; }
command -v chromium >/dev/null
