#!/usr/bin/env bash
# Picture of tarnibe's four tray icons on a first start, for the documentation.
#
#   scripts/screenshot.sh [path-to-tarnibe] [out=docs/screenshot-tray.png]
#
# Runs the program on a private Xvfb display (white background) with trayer as the tray, and fresh, empty
# settings and data, waits until its four icons are embedded, then crops the tray corner of the screen and
# scales it up twice with square pixels, so the icons stay sharp.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${1:-$root/build/app/tarnibe}
out=${2:-$root/docs/screenshot-tray.png}
icons=4
margin=16

[[ -x $bin && -f $bin ]] || { echo "error: $bin is not an executable (build it: ninja -C build)" >&2; exit 1; }
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

# shellcheck source=bench/xtray.sh
source "$root/bench/xtray.sh"
xtray_require Xvfb:xvfb trayer:trayer xwininfo:x11-utils python3:python3 import:imagemagick convert:imagemagick
trap xtray_stop EXIT
trap 'exit 130' INT TERM HUP

xtray_start -wr
profile=$(xtray_fresh_profile)
xtray_launch_watched "$bin" "$profile" "$icons" 20 || {
    echo "error: $XTRAY_WAIT_NOTE" >&2
    cat "$profile/output.log" >&2
    exit 1
}
# Embedded is not yet painted: give the icons a moment to draw themselves.
xtray_nap 1

others=$(xtray_other_windows | cut -d' ' -f2- | paste -sd, -)
[[ -z $others ]] || echo "warning: besides its icons, tarnibe shows: $others" >&2

# The panel and a margin above and left of it; it sits in the bottom-right corner.
IFS='x+' read -r w h x y <<<"$XTRAY_GEOMETRY"
crop_x=$((x > margin ? x - margin : 0))
crop_y=$((y > margin ? y - margin : 0))
crop="$((w + x - crop_x))x$((h + y - crop_y))+$crop_x+$crop_y"

mkdir -p "$(dirname "$out")"
import -window root "$XTRAY_DIR/screen.png"
convert "$XTRAY_DIR/screen.png" -crop "$crop" +repage -scale 200% -strip "$out"

xtray_terminate "$XTRAY_PID" 10 || echo "warning: tarnibe did not end cleanly on SIGTERM ($XTRAY_EXIT)" >&2
if [[ -s $profile/output.log ]]; then
    echo "tarnibe printed:" >&2
    sed 's/^/  /' "$profile/output.log" >&2
fi
echo "$out: $(identify -format '%wx%h' "$out"), tray corner $crop of the screen"
