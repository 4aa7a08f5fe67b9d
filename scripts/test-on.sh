#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: scripts/test-on.sh RELEASE... (Debian code names: bookworm, trixie)
# Proves that the README's set-up works on a fresh machine of each release: makes a clean chroot of it, copies a
# clean clone of this repository's HEAD in, runs scripts/run.sh (which, without a display, installs, builds and
# says how to try it) and then scripts/test.sh, the whole test command, in a network namespace of its own so that
# its servers and X displays meet nothing of this machine's. Prints one line per release and exits non-zero if any
# failed. The base system of each release (remade when a week old), the packages it downloads and every run's log
# stay in TARNIBE_TEST_ON_CACHE (default /var/cache/tarnibe-test-on).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache=${TARNIBE_TEST_ON_CACHE:-/var/cache/tarnibe-test-on}

if [[ $# -eq 0 ]]; then
    echo "usage: $0 RELEASE... (for example: $0 bookworm trixie)" >&2
    exit 2
fi
# Making a chroot, mounting into it and entering it are root's.
if [[ $(id -u) -ne 0 ]]; then
    exec sudo TARNIBE_TEST_ON_CACHE="$cache" "$0" "$@"
fi
if ! command -v mmdebstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
fi
head=$(git -C "$top" rev-parse HEAD)
mkdir -p "$cache/logs"

tree=
runner=
# Ends the run and whatever still runs inside the tree, then unmounts and removes it.
remove_tree() {
    [[ -n $runner ]] && kill -- "$runner" 2>/dev/null
    runner=
    [[ -n $tree && -d $tree ]] || return 0
    local pid
    for pid in /proc/[0-9]*; do
        [[ $(readlink "$pid/root" 2>/dev/null) == "$tree" ]] && kill -KILL "${pid#/proc/}" 2>/dev/null
    done
    sleep 1
    umount -R "$tree" 2>/dev/null || umount -R -l "$tree" 2>/dev/null || true
    if findmnt -rn -o TARGET | grep -q "^$tree"; then
        echo "test-on: $tree is still mounted; left in place" >&2
    else
        rm -rf --one-file-system "$tree"
    fi
    tree=
}
trap remove_tree EXIT
trap 'exit 130' INT TERM

# A base system per release, remade when older than a week.
base_of() {
    local release=$1 base=$cache/$1.tar
    if [[ ! -f $base || -n $(find "$base" -mtime +6) ]]; then
        # mmdebstrap tells the format by the name's ending.
        mmdebstrap --quiet --variant=apt --include=ca-certificates,sudo,git "$release" "$cache/$release.new.tar" >&2
        mv "$cache/$release.new.tar" "$base"
    fi
    echo "$base"
}

# Runs the README's two commands on a fresh tree of release $1 in $tree; everything goes to the log on standard
# output. Runs in a subshell of its own, where a failing step ends it.
run_release() {
    local release=$1 base
    base=$(base_of "$release")
    [[ -n $base ]]
    mkdir "$tree"
    # A mount point of its own, so that one umount -R takes everything below it away.
    mount --bind "$tree" "$tree"
    tar -xf "$base" -C "$tree"
    mount -t proc proc "$tree/proc"
    mount --rbind /sys "$tree/sys" && mount --make-rslave "$tree/sys"
    mount --rbind /dev "$tree/dev" && mount --make-rslave "$tree/dev"
    # Shared memory of its own, so that nothing there is this machine's.
    mount -t tmpfs -o mode=1777 shm "$tree/dev/shm"
    mount -t tmpfs -o mode=1777 tmp "$tree/tmp"
    # Packages are downloaded once per release.
    mkdir -p "$cache/apt-$release"
    mount --bind "$cache/apt-$release" "$tree/var/cache/apt/archives"
    cp /etc/resolv.conf "$tree/etc/resolv.conf"
    printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$tree/etc/hosts"
    git clone --quiet --no-checkout "$top" "$tree/root/tarnibe"
    git -C "$tree/root/tarnibe" checkout --quiet --detach "$head"

    echo "== $release: $(git -C "$top" log -1 --format='%h %s' "$head")"
    # Without a display run.sh installs and builds, then says there is no graphical session and exits 1.
    local out rc=0
    out=$(chroot "$tree" env -u DISPLAY -u WAYLAND_DISPLAY HOME=/root bash -c 'cd /root/tarnibe && scripts/run.sh' 2>&1) ||
        rc=$?
    echo "$out"
    if [[ $rc -ne 0 && ! ($rc -eq 1 && $out == *"No graphical session was found"*) ]]; then
        echo "scripts/run.sh failed ($rc)"
        return 1
    fi
    # The test packages come from the network; the tests then run on loopback alone.
    chroot "$tree" bash -c 'cd /root/tarnibe && scripts/install-deps.sh build test'
    chroot "$tree" env -u DISPLAY -u WAYLAND_DISPLAY HOME=/root \
        unshare --net bash -c 'ip link set lo up && cd /root/tarnibe && scripts/test.sh'
}

# All in one function, read whole before it runs: the script may be edited while a long run goes on.
main() {
    local failed=0 release log start rc took
    for release in "$@"; do
        log=$cache/logs/$release-$(date +%Y%m%d-%H%M%S).log
        start=$SECONDS
        rc=0
        tree=$cache/tree-$release-$$
        run_release "$release" >"$log" 2>&1 &
        runner=$!
        wait "$runner" || rc=$?
        runner=
        remove_tree
        took=$((SECONDS - start))
        took="$((took / 60)) min $((took % 60)) s"
        if [[ $rc -eq 0 ]]; then
            echo "$release: passed in $took"
        else
            echo "$release: FAILED in $took (log: $log)"
            failed=1
        fi
    done
    return $failed
}
main "$@"; exit
