#!/usr/bin/env bash
# Builds the Debian package from the given build folder (default: the dev build), unpacks it into a temporary root and
# runs the installed command-line program from there; checks the installed manual page; validates the desktop files.
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
test -f "$root/usr/share/tessaly/translations/tessaly_ESP.qm" || { echo "the Spanish translation is not installed" >&2; exit 1; }
"$cli" --help >/dev/null
"$cli" demo "$root/demo.jnx" >/dev/null
# An installed program reads the installed default settings (no per-user copy here).
XDG_CONFIG_HOME="$root/config" "$cli" info --json "$root/demo.jnx" | grep -q '"ok": *true'
# The manual page is installed, possibly compressed, and renders without a warning.
page=$(ls "$root"/usr/share/man/man1/tessaly-cli.1* 2>/dev/null | head -n 1)
test -n "$page" || { echo "tessaly-cli.1 is not installed" >&2; exit 1; }
if command -v groff >/dev/null; then
    if ! warnings=$( { case "$page" in *.gz) gzip -dc "$page" ;; *) cat "$page" ;; esac; } \
        | groff -man -ww -z 2>&1) || [ -n "$warnings" ]; then
        echo "tessaly-cli.1: ${warnings:-groff failed}" >&2
        exit 1
    fi
    if command -v man >/dev/null; then
        rendered=$(MANWIDTH=80 man -l "$page" 2>&1)
        grep -q '^EXIT STATUS' <<<"$rendered" || { echo "$rendered" >&2; exit 1; }
    fi
else
    echo "groff is not installed; the manual page was not rendered"
fi
desktop-file-validate data/org.tessaly.Tessaly.desktop
appstreamcli validate --no-net data/org.tessaly.Tessaly.metainfo.xml >/dev/null
echo "package test passed"
