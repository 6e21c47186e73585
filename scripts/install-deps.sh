#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Quiet and quick when everything is present; refreshes the package lists
# only when something must be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libcurl4-openssl-dev libpcre2-dev zlib1g-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libssl-dev nlohmann-json3-dev libbrotli-dev openssl curl
  clang clang-format libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix
  xvfb xauth fonts-wqy-microhei qt6-translations-l10n
  dpkg-dev file desktop-file-utils appstream man-db groff-base
  ripgrep strace
  libqrencode-dev libsecret-1-dev zbar-tools gnome-keyring dbus-daemon dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
