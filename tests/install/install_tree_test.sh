#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks that every file a desktop, a software centre and man read
# is in place, validates the desktop entry and the AppStream data, and starts both installed programs.
# Arguments: build folder, desktop id, version.
set -euo pipefail
build=$1 id=$2 version=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/hubsift-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/hubsift bin/hubsift-cli \
            "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" \
            "share/icons/hicolor/scalable/apps/$id.svg" "share/icons/hicolor/48x48/apps/$id.png" \
            "share/icons/hicolor/128x128/apps/$id.png" share/hubsift/settingshelp.txt \
            share/man/man1/hubsift.1.gz share/man/man1/hubsift-cli.1.gz; do
    [ -s "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" || { echo "no release $version"; exit 1; }
for page in hubsift hubsift-cli; do
    gzip -dc "$prefix/share/man/man1/$page.1.gz" | grep -q "^\.TH .*\"Hubsift $version\"" || { echo "bad $page.1"; exit 1; }
done

# The console program is the engine alone: no Qt library may come with it.
if ldd "$prefix/bin/hubsift-cli" | grep -q libQt; then echo "hubsift-cli links Qt"; exit 1; fi
[ "$("$prefix/bin/hubsift-cli" --version)" = "hubsift-cli $version" ] || { echo "hubsift-cli --version"; exit 1; }
[ "$(QT_QPA_PLATFORM=offscreen "$prefix/bin/hubsift" --version 2>/dev/null)" = "Hubsift $version" ] ||
    { echo "hubsift --version"; exit 1; }
echo "install tree complete and valid"
