#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs from the distribution's packages whatever of the given sets is missing: "build" (what building and running
# need), "test" (what the tests and the fuzzers need besides). Asks no network when nothing is missing.
set -euo pipefail

build_packages=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins qt6-wayland
                libgl-dev python3 libcap2-bin qtkeychain-qt6-dev libsecret-1-0 libxcb1-dev pkgconf)
test_packages=(xvfb xauth trayer x11-utils clang lld libclang-rt-dev poppler-utils python3-dbusmock
               openbsd-inetd dbus-daemon iproute2 util-linux dovecot-core dovecot-pop3d dpkg-dev desktop-file-utils
               libglib2.0-bin gnome-keyring openbox xdotool fonts-dejavu-core fonts-liberation2 weston lintian
               appstream)
test_packages+=(dovecot-imapd)
# A notification server for the desktop notifications (dunst and dunstctl).
test_packages+=(dunst)
# The desktops the desktop layer runs on besides openbox, and gnome-keyring's prompter.
test_packages+=(xfwm4 xfce4-panel xfconf xfdesktop4 kwin-x11 kwin-style-breeze lxqt-panel pcmanfm-qt mutter gcr)
# A sound server of the tests' own (with_sound.sh). Where the desktop's sound is PipeWire, pulseaudio would replace
# pipewire-pulse and take the user's sound away: there the tests run a private PipeWire instead.
if [[ $(dpkg-query -W -f='${Status}' pipewire-pulse 2>/dev/null || true) == "install ok installed" ]]; then
    test_packages+=(pipewire-bin pipewire-pulse wireplumber pulseaudio-utils)
else
    test_packages+=(pulseaudio pulseaudio-utils)
fi
# What a minimal system lacks: the zone data for the tests that move the clock to other zones and through summer
# time, and llvm-symbolizer, without which the sanitizers' reports name no function and tests/lsan.supp matches none.
test_base_packages=(tzdata llvm)

# Names that differ between the releases this is known to work on.
test_release_packages=()
release=unknown
[[ -r /etc/os-release ]] && release=$(. /etc/os-release && echo "${ID:-unknown}${VERSION_ID:+ $VERSION_ID}")
case "$release" in
# Qt 6.4: the SVG image plugin (for the icons) comes with the library.
"debian 12" | "ubuntu 24.04") build_release_packages=(libqt6svg6) ;;
# Qt 6.8: it is a package of its own.
"debian 13")
    build_release_packages=(libqt6svg6 qt6-svg-plugins)
    # KWin 6's global shortcuts (Alt+F4) come from a daemon of their own.
    test_release_packages=(kglobalacceld)
    ;;
*)
    name=$( (. /etc/os-release 2>/dev/null && echo "${PRETTY_NAME:-}") || true)
    {
        echo "install-deps: this is ${name:-a system without /etc/os-release} ($release), which this script does not know."
        echo "It knows Debian 12 and 13 and Ubuntu 24.04. Tarnibe needs, under their Debian names:"
        echo "  to build and run: ${build_packages[*]} and Qt 6's SVG image plugin (libqt6svg6 or qt6-svg-plugins)"
        echo "  to test, besides: ${test_packages[*]} ${test_base_packages[*]}"
        echo "Nothing was installed."
    } >&2
    exit 3
    ;;
esac

wanted=()
for set in "$@"; do
    case "$set" in
    build) wanted+=("${build_packages[@]}" "${build_release_packages[@]}") ;;
    test) wanted+=("${test_packages[@]}" "${test_base_packages[@]}" "${test_release_packages[@]}") ;;
    *) echo "install-deps: unknown set '$set' (use build and/or test)" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
# chronyd, the NTP server the clock's tests start themselves (with -x, on loopback), is unpacked from its package into
# a folder of its own and never installed: installed, it would take the place of the system's own time service (it
# conflicts with systemd-timesyncd) and run as one. What it links comes from the release's packages.
chrony_dir=/var/cache/tarnibe-test/chrony
need_chrony=0
if [[ " $* " == *" test "* && ! -x $chrony_dir/usr/sbin/chronyd ]]; then
    need_chrony=1
fi
[[ ${#missing[@]} -eq 0 && $need_chrony -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
# The test servers (inetd, Dovecot) are started by the tests on loopback only; the packages must not start their
# system services on this machine's real interfaces. A policy-rc.d of our own keeps them down while installing.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
    "${sudo[@]}" chmod 755 "$policy"
    own_policy=1
fi
remove_policy() { [[ $own_policy -eq 1 ]] && "${sudo[@]}" rm -f "$policy"; return 0; }
trap remove_policy EXIT
"${sudo[@]}" apt-get update -qq
if [[ $need_chrony -eq 1 ]]; then
    # chrony's own dependencies (libraries, adduser, tzdata...), none of them a time service.
    mapfile -t chrony_needs < <(apt-cache depends chrony | awk '$1 ~ /^[|]?Depends:$/ && $2 !~ /^</ { print $2 }')
    for package in "${chrony_needs[@]}"; do
        status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
        [[ "$status" == "install ok installed" ]] || missing+=("$package")
    done
fi
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [[ $need_chrony -eq 1 ]]; then
    echo "Unpacking chrony into $chrony_dir (not installed)"
    download=$(mktemp -d)
    chmod 755 "$download"
    (cd "$download" && "${sudo[@]}" apt-get download -qq chrony 2>/dev/null)
    "${sudo[@]}" mkdir -p "$chrony_dir"
    "${sudo[@]}" dpkg-deb -x "$download"/chrony_*.deb "$chrony_dir"
    "${sudo[@]}" rm -rf "$download"
fi
# Where a service manager runs, keep them from starting at the next boot as well.
if command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
    for service in dovecot inetd openbsd-inetd; do
        "${sudo[@]}" systemctl disable --now "$service" >/dev/null 2>&1 || true
    done
fi
