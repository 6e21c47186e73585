#!/usr/bin/env bash
# Runs a test program on a session bus of its own with a Secret Service
# (gnome-keyring) unlocked on it, as a desktop has; the machine's own session,
# if any, is never touched, and a machine without one (CI) needs none.
# Usage: keyring_session.sh PROGRAM [ARGS...]
set -euo pipefail
for tool in dbus-run-session gnome-keyring-daemon; do
  command -v "$tool" >/dev/null ||
    { echo "keyring_session: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The keyring files and the daemon's sockets go into this run's own folders.
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
       XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL
dbus-run-session -- bash -c '
  set -euo pipefail
  # The login keyring is created unlocked with this password; an empty one
  # would ask at a prompt, and there is no display to show it on.
  eval "$(printf %s lianshuo-test | gnome-keyring-daemon --unlock --components=secrets)"
  export GNOME_KEYRING_CONTROL
  "$@"' keyring-session "$@"
