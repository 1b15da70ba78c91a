#!/usr/bin/env bash
# Installs DuckDB for Node.js (the npm package `@duckdb/node-api`, which ships
# the engine) into a folder of its own, for the README's SQL examples and their
# test. Quiet when it is already there.
#
#   tools/install-duckdb.sh [DIR]     (default: $DUCKDB_NODE_DIR, else build/duckdb)
#
# Exit status: 0 when DIR/node_modules/@duckdb/node-api is there afterwards,
# 1 when it cannot be installed (no node or npm and no way to install them
# from Debian, no npm registry).
set -uo pipefail

dir=${1:-${DUCKDB_NODE_DIR:-"$(cd "$(dirname "$0")/.." && pwd)/build/duckdb"}}
package=@duckdb/node-api
[ -e "$dir/node_modules/$package/package.json" ] && exit 0
if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
  bash "$(dirname "$0")/apt-install.sh" nodejs npm || exit 1
fi
mkdir -p "$dir" || exit 1
[ -e "$dir/package.json" ] || printf '{"private": true}\n' >"$dir/package.json"
echo "Installing: $package into $dir"
npm install --prefix "$dir" --no-audit --no-fund --loglevel=error "$package" >&2 ||
  { echo "install-duckdb.sh: $package cannot be installed" >&2; exit 1; }
[ -e "$dir/node_modules/$package/package.json" ]
