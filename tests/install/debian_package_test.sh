#!/usr/bin/env bash
# Builds the Debian package from the build tree with cpack and checks its control fields and contents.
# Arguments: build folder, desktop id, version.
set -euo pipefail
build=$1 id=$2 version=$3
out=$(mktemp -d "${TMPDIR:-/tmp}/hubsift-deb.XXXXXX")
trap 'rm -rf "$out"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(echo "$out"/hubsift_"$version"_*.deb)
[ -f "$deb" ] || { echo "no package in $out"; ls "$out"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = hubsift ] && [ "$(field Version)" = "$version" ] && [ "$(field Section)" = net ] ||
    { echo "control fields:"; dpkg-deb -f "$deb"; exit 1; }
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || { echo "no maintainer or description"; exit 1; }
# Computed from the programs' libraries, plus the platform plugins Qt needs to show a window.
for dependency in libc6 libqt6widgets6 libcurl4 libxml2 libbz2-1.0 qt6-qpa-plugins; do
    field Depends | grep -q "$dependency" || { echo "Depends lacks $dependency: $(field Depends)"; exit 1; }
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/hubsift ./usr/bin/hubsift-cli "./usr/share/applications/$id.desktop" \
            "./usr/share/metainfo/$id.metainfo.xml" "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
            "./usr/share/icons/hicolor/48x48/apps/$id.png" "./usr/share/icons/hicolor/128x128/apps/$id.png" \
            ./usr/share/hubsift/settingshelp.txt ./usr/share/man/man1/hubsift.1.gz \
            ./usr/share/man/man1/hubsift-cli.1.gz; do
    grep -qx "$path" <<<"$contents" || { echo "not in the package: $path"; echo "$contents"; exit 1; }
done
echo "package $(basename "$deb") complete"
