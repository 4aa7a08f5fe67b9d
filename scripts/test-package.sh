#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that Tarnibe installs like a desktop program: `cmake --install` grants the network capability, and the
# Debian package from `cpack -G DEB` passes lintian without errors, installs, validates as AppStream metadata,
# starts from its menu entry, and removes cleanly.
#
#   scripts/test-package.sh <build folder>
#
# Installs into this machine's /usr through dpkg (as root, or through sudo), so CI runs it, not the unit tests.
set -euo pipefail
build=$(cd "${1:?usage: $0 <build folder>}" && pwd)
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo -n true 2>/dev/null || { echo "test-package: skipped: needs root or password-less sudo for dpkg"; exit 0; }
    sudo=(sudo -n)
fi

work=$(mktemp -d)
installed=0
cleanup() {
    # A failed run must not leave its package on the machine.
    ((installed)) && "${sudo[@]}" dpkg -r tarnibe >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }
for tool in lintian appstreamcli desktop-file-validate dpkg-parsechangelog; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh test)"
done

echo "-- cmake --install grants the capability"
"${sudo[@]}" cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install"; }
/usr/sbin/getcap "$work/prefix/bin/tarnibe" | grep -q cap_net_bind_service || fail "cmake --install did not setcap"
for file in share/applications/tarnibe.desktop share/icons/hicolor/48x48/apps/tarnibe.png \
    share/icons/hicolor/scalable/apps/tarnibe.svg share/man/man1/tarnibe.1.gz share/doc/tarnibe/html/index.html \
    share/doc/tarnibe/copyright share/doc/tarnibe/changelog.gz share/metainfo/tarnibe.metainfo.xml; do
    [[ -s $work/prefix/$file ]] || fail "cmake --install left out $file"
done

echo "-- cpack -G DEB"
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls -t "$build"/tarnibe_*.deb | head -n1)
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package's dependencies were not read off the binary"
desktop-file-validate "$work/prefix/share/applications/tarnibe.desktop"
gzip -dc "$work/prefix/share/doc/tarnibe/changelog.gz" >"$work/changelog"
[[ $(dpkg-parsechangelog -l "$work/changelog" -S Version) == "$(dpkg-deb -f "$deb" Version)" ]] ||
    fail "the changelog's newest entry is not the package's version"

echo "-- lintian $(basename "$deb")"
# Everything lintian says is shown; an error fails the package, warnings are for the reader.
status=0
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || status=$?
cat "$work/lintian.log"
grep -q '^E: ' "$work/lintian.log" && fail "lintian found errors in the package"
((status == 0)) || fail "lintian did not finish (status $status)"

echo "-- dpkg -i $(basename "$deb")"
if dpkg-query -W -f='${Status}' tarnibe 2>/dev/null | grep -q 'ok installed'; then
    fail "a tarnibe package is already installed on this machine; not touching it"
fi
installed=1
"${sudo[@]}" dpkg -i "$deb" >/dev/null
dpkg-query -L tarnibe | sort >"$work/files"
/usr/sbin/getcap /usr/bin/tarnibe | grep -q cap_net_bind_service || fail "postinst did not grant the capability"
grep -qx /usr/share/applications/tarnibe.desktop "$work/files" || fail "no menu entry"

echo "-- appstreamcli validate"
# The component is named after its menu entry, tarnibe.desktop: Tarnibe has no domain of its own to build the
# reverse-DNS name the validator asks for, and a made-up one would be worse. The validator lets that one finding be
# shown as information rather than fail the metadata; anything else it reports still does.
overrides=cid-desktopapp-is-not-rdns=info
# AppStream 1.0 and later also warn that there is no homepage, which Tarnibe does not have either; earlier versions
# know no such check and refuse to have it named. (Only the last --override counts: the list is one, by commas.)
[[ $(appstreamcli --version) =~ version:\ ([0-9]+) && ${BASH_REMATCH[1]} -ge 1 ]] &&
    overrides+=,url-homepage-missing=info
appstreamcli validate --no-net --override="$overrides" /usr/share/metainfo/tarnibe.metainfo.xml ||
    fail "the AppStream metadata is not valid"

echo "-- starting it from the menu entry"
home="$work/home"
mkdir -p "$home/.config" "$home/.local/share" "$home/runtime"
chmod 700 "$home/runtime"
# gio launches the entry the way a desktop's menu does; there is no tray, so the Control center opens. The copy
# started here is the one whose environment holds this HOME.
cat >"$work/launch.sh" <<'SCRIPT'
ours() {
    for pid in $(pgrep -x tarnibe); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "HOME=$HOME" && echo "$pid"
    done
}
gio launch /usr/share/applications/tarnibe.desktop || exit 2
for i in $(seq 100); do
    [ -s "$XDG_DATA_HOME/Tarnibe/error.log" ] && [ -s "$XDG_CONFIG_HOME/Tarnibe/Tarnibe.conf" ] && break
    sleep 0.1
done
pids=$(ours)
[ -n "$pids" ] || exit 3
[ "$(readlink "/proc/$pids/exe")" = /usr/bin/tarnibe ] || exit 4
kill -TERM $pids
for i in $(seq 50); do [ -z "$(ours)" ] && exit 0; sleep 0.1; done
exit 5
SCRIPT
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/runtime \
    xvfb-run -a -s "-nolisten tcp" bash "$work/launch.sh" ||
    fail "the installed program did not start from its menu entry and end on request (status $?)"
grep -q "BEGIN" "$home/.local/share/Tarnibe/error.log" || fail "the installed program did not start"
grep -q "Ending windows session:2" "$home/.local/share/Tarnibe/error.log" || fail "it did not end cleanly"

echo "-- dpkg -r tarnibe"
"${sudo[@]}" dpkg -r tarnibe >/dev/null
installed=0
dpkg-query -W -f='${Status}' tarnibe 2>/dev/null | grep -q 'ok installed' && fail "still installed"
left=0
while read -r path; do
    if [[ -f $path ]]; then
        echo "left behind: $path" >&2
        left=1
    fi
done <"$work/files"
((left == 0)) || fail "dpkg -r left files behind"
echo "test-package: the package installs, starts from the menu and removes cleanly"
