#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as a user's system would meet
# it: the files a desktop needs, the libraries dpkg-shlibdeps found, the same files as
# `cmake --install`, and the verdicts of desktop-file-validate, appstreamcli and lintian (no
# errors). Exits 77 (skipped) when a tool is missing.
#
# usage: check_package.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
manifest=$build/install_manifest.txt
# Installing rewrites the build's manifest, which `make uninstall` relies on.
[[ -f "$manifest" ]] && cp "$manifest" "$work/manifest"
trap '[[ -f "$work/manifest" ]] && cp "$work/manifest" "$manifest"; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/out/quillet_*.deb)

files() { find "$1" -type f -printf '/%P\n' | sort; }
dpkg-deb -x "$deb" "$work/package"
DESTDIR=$work/installed cmake --install "$build" --prefix /usr >/dev/null
[[ "$(files "$work/package")" == "$(files "$work/installed")" ]] ||
    fail "the package and cmake --install differ: $(diff <(files "$work/package") <(files "$work/installed"))"

root=$work/package/usr
for path in bin/quillet share/quillet/Quillet_Quillet.bundle/tarnel-icon.png \
    share/applications/org.quillet.Quillet.desktop \
    share/dbus-1/services/org.quillet.Quillet.service \
    share/metainfo/org.quillet.Quillet.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.quillet.Quillet.svg \
    share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256,512x512}/apps/org.quillet.Quillet.png \
    share/man/man1/quillet.1.gz share/doc/quillet/copyright share/doc/quillet/changelog.gz; do
    [[ -s "$root/$path" ]] || fail "the package lacks /usr/$path"
done

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6dbus6 libcmark-gfm; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
grep -qx 'Exec=/usr/bin/quillet' "$root/share/dbus-1/services/org.quillet.Quillet.service" ||
    fail "the D-Bus service does not start /usr/bin/quillet"
# Without any window system, as over ssh.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/quillet" --version 2>&1)
[[ "$version" == "Quillet $(dpkg-deb -f "$deb" Version)" ]] || fail "--version says '$version'"

desktop-file-validate "$root/share/applications/org.quillet.Quillet.desktop" ||
    fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "$root/share/metainfo/org.quillet.Quillet.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"
lintian "$deb" >"$work/lintian.log" 2>&1 || true
if grep -q '^E:' "$work/lintian.log"; then
    fail "lintian: $(grep '^E:' "$work/lintian.log")"
fi
echo "PASS"
