#!/usr/bin/env bash
# The README's run command: installs what is missing, builds, and runs Orvane against the built-in
# simulated keyboard, so it works on any machine. Arguments are passed to orvane-cli
# (default: "--simulate info").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
if [ $# -eq 0 ]; then
  set -- --simulate info
fi
exec "$top/build/bin/orvane-cli" "$@"
