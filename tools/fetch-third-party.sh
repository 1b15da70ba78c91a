#!/usr/bin/env bash
# Re-fetches the vendored charting library of `vyrhost report`, Apache ECharts,
# from the npm registry into third_party/echarts/: its minified full build, its
# licence and notice files, and a VERSION file with the package's integrity.
#
#   tools/fetch-third-party.sh            # the version named in third_party/echarts/VERSION
#   tools/fetch-third-party.sh 6.1.0      # another version
#
# Needs npm. The build embeds third_party/echarts/echarts.min.js into vyrhost,
# so rebuild afterwards.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
dest="$root/third_party/echarts"
version="${1:-$(sed -n 's/^version: *//p' "$dest/VERSION" 2>/dev/null || true)}"
if [ -z "$version" ]; then
  echo "fetch-third-party.sh: no version given and none in $dest/VERSION" >&2
  exit 2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# npm pack checks the tarball against the registry's integrity record.
(cd "$work" && npm pack --silent --json "echarts@$version" >pack.json)
tarball="$work/echarts-$version.tgz"
integrity="$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["integrity"])' "$work/pack.json")"

tar -xzf "$tarball" -C "$work" package/dist/echarts.min.js package/LICENSE package/NOTICE package/licenses
mkdir -p "$dest/licenses"
cp "$work/package/dist/echarts.min.js" "$dest/echarts.min.js"
cp "$work/package/LICENSE" "$work/package/NOTICE" "$dest/"
cp "$work/package/licenses/"* "$dest/licenses/"
{
  echo "package: echarts"
  echo "version: $version"
  echo "file: dist/echarts.min.js"
  echo "integrity: $integrity"
} >"$dest/VERSION"
echo "third_party/echarts: echarts $version ($integrity)"
