#!/usr/bin/env bash
# Builds the Debian package from a release build, unpacks it into a temporary root and
# runs the installed command-line program from there; validates the desktop files.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tessaly tessaly-cli
rm -f build/release/tessaly_*.deb
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/tessaly_*.deb | head -n 1)
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
