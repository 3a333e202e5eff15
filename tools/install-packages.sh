#!/bin/sh
# Installs the Debian packages listed in debian-packages.txt (with sudo when not root);
# "--tests" adds those listed in debian-test-packages.txt.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
lists="$here/debian-packages.txt"
[ "${1:-}" = "--tests" ] && lists="$lists $here/debian-test-packages.txt"
# shellcheck disable=SC2086
packages=$(cat $lists | grep -v '^#' | tr '\n' ' ')
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
