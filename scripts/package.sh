#!/usr/bin/env bash
# Builds the Debian package from a build folder (default build/) and checks it: lintian must report
# no error, the AppStream metainfo must validate (when appstreamcli is there). Prints the package's
# path last. Usage: scripts/package.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/orvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/orvane_*.deb)
echo "== package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,/Description:/p'
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$top/packaging/org.orvane.Orvane.metainfo.xml"
fi
if command -v lintian >/dev/null; then
  # Errors fail the package; warnings are shown.
  lintian --fail-on error --tag-display-limit 0 "$deb"
else
  echo "package: lintian is not installed; the package was not checked" >&2
  [ "${CI:-}" = true ] && exit 1
fi
echo "$deb"
