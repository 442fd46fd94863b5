#!/usr/bin/env bash
# Builds the Debian package from the given build folder (default: the dev build), unpacks it into a temporary root and
# runs the installed command-line program from there; validates the desktop files.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
cmake --build "$build" -j2 --target tessaly tessaly-cli
rm -f "$build"/tessaly_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tessaly_*.deb | head -n 1)
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
cli="$root/usr/bin/tessaly-cli"
test -x "$root/usr/bin/tessaly"
test -f "$root/usr/share/tessaly/Tessaly.ini"
"$cli" --help >/dev/null
"$cli" demo "$root/demo.jnx" >/dev/null
# An installed program reads the installed default settings (no per-user copy here).
XDG_CONFIG_HOME="$root/config" "$cli" info --json "$root/demo.jnx" | grep -q '"ok": *true'
desktop-file-validate data/org.tessaly.Tessaly.desktop
appstreamcli validate --no-net data/org.tessaly.Tessaly.metainfo.xml >/dev/null
echo "package test passed"
