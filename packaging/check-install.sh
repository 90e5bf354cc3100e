#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks that the program, its
# desktop entry, metainfo and icons land where desktops look for them, and
# validates the entry and the metainfo. Exits 77 (skipped) without the
# validators.
set -euo pipefail
build="$1"
id="$2"
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
expect() {
    [ -e "$prefix/$1" ] || { echo "missing after install: $1"; status=1; }
}
expect bin/quillmoor
expect share/man/man1/quillmoor.1
expect share/bash-completion/completions/quillmoor
expect "share/applications/$id.desktop"
expect "share/metainfo/$id.metainfo.xml"
expect "share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 22 24 32 48 64 128 256; do
    png="share/icons/hicolor/${size}x${size}/apps/$id.png"
    expect "$png"
    # A PNG of the size its folder names, not just a file of that name.
    if [ -e "$prefix/$png" ] && ! file "$prefix/$png" | grep -q "PNG image data, $size x $size"; then
        echo "not a $size x $size PNG: $png"; status=1
    fi
done
# Nothing else: the demo site, the gallery, tests and benchmarks stay out.
extra="$(cd "$prefix" && find . -type f | grep -v -e '^./bin/quillmoor$' -e '^./share/applications/' \
    -e '^./share/metainfo/' -e '^./share/icons/hicolor/' -e '^./share/man/man1/quillmoor.1$' \
    -e '^./share/bash-completion/completions/quillmoor$' || true)"
[ -z "$extra" ] || { echo "installed but not part of the program:"; echo "$extra"; status=1; }

# The entry starts the installed program by its name on PATH and shows the
# installed icon; the metainfo launches that entry.
entry="$prefix/share/applications/$id.desktop"
expect "bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
expect "share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$entry").svg"
expect "share/applications/$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' \
    "$prefix/share/metainfo/$id.metainfo.xml")"

desktop-file-validate "$prefix/share/applications/$id.desktop" || status=1
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || status=1
exit $status
