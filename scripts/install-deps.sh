#!/usr/bin/env bash
# Installs from Debian's packages whatever of the given sets is missing: "build" (what building and running
# need), "test" (what the tests and the fuzzers need besides). Asks no network when nothing is missing.
set -euo pipefail

build_packages=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev libqt6svg6 qt6-qpa-plugins qt6-wayland
                libgl-dev python3 libcap2-bin)
test_packages=(xvfb xauth trayer x11-utils clang libclang-rt-14-dev poppler-utils python3-dbusmock
               openbsd-inetd dbus-daemon iproute2 util-linux)

wanted=()
for set in "$@"; do
    case "$set" in
    build) wanted+=("${build_packages[@]}") ;;
    test) wanted+=("${test_packages[@]}") ;;
    *) echo "install-deps: unknown set '$set' (use build and/or test)" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing from Debian: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
