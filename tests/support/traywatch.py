#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Watches an XEmbed system tray from outside, for bench/xtray.sh.

  traywatch.py owned            exit 0 when the tray selection of screen 0 has an owner
  traywatch.py click X Y B S    click button B at (X, Y) through XTest, then poll every millisecond until a new
                                top-level window is viewable (a menu, say); print "shown <us>" (microseconds
                                from the click to the window) or "timeout <us>" after S seconds
  traywatch.py wait PANEL N S   print "ready", read a process id from stdin, then poll every 2 ms until N icon
                                windows are embedded in the tray panel PANEL and viewable; print
                                "shown <us> <n>", "ended <us> <n>" or "timeout <us> <n>" (wall-clock
                                microseconds, count last seen) when they are, the process ends, or S seconds pass
  traywatch.py pixels X Y W H   print what the screen shows in that rectangle: a digest of its pixels and how
                                many of them are dark ("<sha1> <dark>")
  traywatch.py looks X Y W H S  print each picture the screen shows in that rectangle over S seconds (a blinking
                                icon's frames), polled every 50 ms: one digest a line, in the order first seen
  traywatch.py icons X Y W H    print the icons a panel draws in that rectangle (its StatusNotifierItem buttons),
                                left to right, one "x y w h" line each in screen pixels

It talks to libX11 through ctypes so one process does all the polling: starting xwininfo every few
milliseconds costs a good part of a core, which the program being timed would otherwise lose.
"""

import ctypes
import hashlib
import os
import sys
import time

X = ctypes.cdll.LoadLibrary("libX11.so.6")
Window = ctypes.c_ulong
IsViewable = 2


class XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
        ("root", Window), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
        ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
        ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
        ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
        ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p),
    ]


X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XInternAtom.restype = ctypes.c_ulong
X.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
X.XGetSelectionOwner.restype = Window
X.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
X.XQueryTree.restype = ctypes.c_int
X.XQueryTree.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(Window), ctypes.POINTER(Window),
                         ctypes.POINTER(ctypes.POINTER(Window)), ctypes.POINTER(ctypes.c_uint)]
X.XGetWindowAttributes.restype = ctypes.c_int
X.XGetWindowAttributes.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(XWindowAttributes)]
X.XFree.argtypes = [ctypes.c_void_p]
X.XDefaultRootWindow.restype = Window
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
X.XGetImage.restype = ctypes.c_void_p
X.XGetImage.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                        ctypes.c_ulong, ctypes.c_int]
X.XGetPixel.restype = ctypes.c_ulong
X.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
X.XDestroyImage.argtypes = [ctypes.c_void_p]

# Windows come and go between two requests; Xlib's default handler would end the process on BadWindow.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda display, event: 0)
X.XSetErrorHandler(ERROR_HANDLER)


def children(display, window):
    root, parent = Window(), Window()
    kids = ctypes.POINTER(Window)()
    count = ctypes.c_uint()
    if not X.XQueryTree(display, window, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(kids),
                        ctypes.byref(count)):
        return []
    result = [kids[i] for i in range(count.value)]
    if kids:
        X.XFree(kids)
    return result


def viewable(display, window):
    attributes = XWindowAttributes()
    return bool(X.XGetWindowAttributes(display, window, ctypes.byref(attributes))) and \
        attributes.map_state == IsViewable


def embedded_viewable(display, panel):
    # XEmbed reparents each icon window into a socket window of the panel: the icons are its grandchildren.
    return sum(1 for socket in children(display, panel) for icon in children(display, socket)
               if viewable(display, icon))


def viewable_top_levels(display):
    return {w for w in children(display, X.XDefaultRootWindow(display)) if viewable(display, w)}


def click_to_window(display, x, y, button, timeout_s):
    xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
    X.XSync(display, 0)
    time.sleep(0.1)
    before = viewable_top_levels(display)
    xtst.XTestFakeButtonEvent(display, button, 1, 0)
    xtst.XTestFakeButtonEvent(display, button, 0, 0)
    X.XSync(display, 0)
    start = now_us()
    while True:
        stamp = now_us()
        if viewable_top_levels(display) - before:
            print("shown", stamp - start, flush=True)
            return 0
        if stamp - start > timeout_s * 1e6:
            print("timeout", stamp - start, flush=True)
            return 1
        time.sleep(0.001)


def pixels(display, x, y, width, height):
    all_planes, z_pixmap = ~0 & 0xFFFFFFFFFFFFFFFF, 2
    image = X.XGetImage(display, X.XDefaultRootWindow(display), x, y, width, height, all_planes, z_pixmap)
    if not image:
        print("no image", file=sys.stderr)
        return 1
    digest = hashlib.sha1()
    dark = 0
    for row in range(height):
        for column in range(width):
            value = X.XGetPixel(image, column, row) & 0xFFFFFF
            digest.update(value.to_bytes(3, "little"))
            if (value >> 16) + ((value >> 8) & 0xFF) + (value & 0xFF) < 200:
                dark += 1
    print(digest.hexdigest(), dark, flush=True)
    return 0


def looks(display, x, y, width, height, seconds):
    seen = []
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        rows = grab(display, x, y, width, height)
        if rows is None:
            print("no image", file=sys.stderr)
            return 1
        digest = hashlib.sha1(b"".join(value.to_bytes(3, "little") for row in rows for value in row)).hexdigest()
        if digest not in seen:
            seen.append(digest)
            print(digest, flush=True)
        time.sleep(0.05)
    return 0


def grab(display, x, y, width, height):
    all_planes, z_pixmap = ~0 & 0xFFFFFFFFFFFFFFFF, 2
    image = X.XGetImage(display, X.XDefaultRootWindow(display), x, y, width, height, all_planes, z_pixmap)
    if not image:
        return None
    rows = [[X.XGetPixel(image, column, row) & 0xFFFFFF for column in range(width)] for row in range(height)]
    X.XDestroyImage(image)
    return rows


def differs(a, b):
    return abs((a >> 16) - (b >> 16)) + abs(((a >> 8) & 0xFF) - ((b >> 8) & 0xFF)) + abs((a & 0xFF) - (b & 0xFF)) > 60


def icons(display, x, y, width, height):
    """The panel's own colours are those that cover a tenth of the area or more (a panel may leave a part unpainted
    while it grows) or a whole row or column (its borders); an icon is a run of columns with pixels of other
    colours. Runs narrower than a third of the height are the panel's handles and separators."""
    rows = grab(display, x, y, width, height)
    if rows is None:
        print("no image", file=sys.stderr)
        return 1
    counts = {}
    for row in rows:
        for value in row:
            counts[value] = counts.get(value, 0) + 1
    panel = {value for value, count in counts.items() if count * 10 >= width * height}
    panel |= {row[0] for row in rows if len(set(row)) == 1}
    panel |= {rows[0][c] for c in range(width) if len({row[c] for row in rows}) == 1}
    inked = [[r for r in range(height) if all(differs(rows[r][c], p) for p in panel)] for c in range(width)]
    first = None
    for column in range(width + 1):
        if column < width and inked[column]:
            first = column if first is None else first
        elif first is not None:
            ink = [r for c in range(first, column) for r in inked[c]]
            if column - first >= height // 3:
                print(x + first, y + min(ink), column - first, max(ink) - min(ink) + 1, flush=True)
            first = None
    return 0


def process_ended(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


def now_us():
    return time.time_ns() // 1000


def main(argv):
    display = X.XOpenDisplay(None)
    if not display:
        print("cannot open display", os.environ.get("DISPLAY"), file=sys.stderr)
        return 2
    if argv[1:2] == ["owned"]:
        return 0 if X.XGetSelectionOwner(display, X.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)) else 1
    if argv[1:2] == ["click"] and len(argv) == 6:
        return click_to_window(display, int(argv[2]), int(argv[3]), int(argv[4]), float(argv[5]))
    if argv[1:2] == ["pixels"] and len(argv) == 6:
        return pixels(display, *(int(a) for a in argv[2:6]))
    if argv[1:2] == ["looks"] and len(argv) == 7:
        return looks(display, *(int(a) for a in argv[2:6]), float(argv[6]))
    if argv[1:2] == ["icons"] and len(argv) == 6:
        return icons(display, *(int(a) for a in argv[2:6]))
    if argv[1:2] != ["wait"] or len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    panel, wanted, timeout_s = int(argv[2], 0), int(argv[3]), float(argv[4])
    print("ready", flush=True)
    pid = int(sys.stdin.readline())
    deadline = now_us() + int(timeout_s * 1e6)
    while True:
        count = embedded_viewable(display, panel)
        stamp = now_us()
        if count >= wanted:
            verdict = "shown"
        elif process_ended(pid):
            verdict = "ended"
        elif stamp > deadline:
            verdict = "timeout"
        else:
            time.sleep(0.002)
            continue
        print(verdict, stamp, count, flush=True)
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
