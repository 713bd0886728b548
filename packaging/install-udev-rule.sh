#!/bin/sh
# Installs (or with --remove, removes) the udev rule that lets the user at the seat open the
# VELMORA Q5 keyboard's hidraw nodes, and applies it to a keyboard that is already plugged in.
# Needs root; asks for it through sudo when run as a normal user.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rule="$here/70-orvane.rules"
target=/etc/udev/rules.d/70-orvane.rules

if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi

if [ "${1:-}" = "--remove" ]; then
  rm -f "$target"
  echo "Removed $target"
else
  if [ ! -f "$rule" ]; then
    echo "install-udev-rule: $rule is missing" >&2
    exit 1
  fi
  install -m 0644 "$rule" "$target"
  echo "Installed $target"
fi
# Apply the change to devices that are already there, so no replug is needed.
if command -v udevadm >/dev/null 2>&1; then
  udevadm control --reload-rules || true
  udevadm trigger --subsystem-match=hidraw --action=change || true
fi
