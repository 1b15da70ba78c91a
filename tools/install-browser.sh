#!/usr/bin/env bash
# Installs the headless browser that the report's browser test drives
# (Debian's `chromium`), when it is missing. Quiet when it is present.
# Exit status: 0 when /usr/bin/chromium is there afterwards, 1 when it cannot
# be installed (no package source, no permission).
set -uo pipefail

command -v chromium >/dev/null && exit 0

bash "$(dirname "$0")/apt-install.sh" chromium fonts-dejavu-core || exit 1
command -v chromium >/dev/null
