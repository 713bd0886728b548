#!/usr/bin/env bash
# The README's run command: installs what is missing, builds, and starts Orvane against the
# built-in simulated keyboard (orvane --simulate), so it works on any machine. Orvane lives in the
# notification area: click its icon to open the window, use the icon's menu to plug and unplug the
# simulated keyboard or to exit. Without a display it says how to run the program and shows the
# command-line tool instead. Arguments, when given, go to orvane-cli as before.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
if [ $# -gt 0 ]; then
  exec "$top/build/bin/orvane-cli" "$@"
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting Orvane with the simulated keyboard; it waits in the notification area."
  exec "$top/build/bin/orvane" --simulate
fi
cat <<MSG
There is no display here (DISPLAY and WAYLAND_DISPLAY are unset), so Orvane's window cannot open.
On a desktop, run:   $top/build/bin/orvane --simulate
Meanwhile, the command-line tool on the same simulated keyboard:

MSG
exec "$top/build/bin/orvane-cli" --simulate info
