#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Watches one program start on the private display of bench/peers.sh: its tray icons and its first windows.

  peerwatch.py wait PANEL ICONS WINDOWS CLICK TIMEOUT
      print "ready", read a process id from stdin, then poll every 2 ms until ICONS icon windows are embedded in
      the tray panel PANEL and WINDOWS new top-level windows are viewable (0: not waited for). With CLICK 1 the
      icon is clicked with xdotool as soon as it is embedded (click_us: when xdotool was started).
      Prints one line: "<verdict> <icons_us> <click_us> <windows_us> <icons> <windows> <first window's name>",
      verdict shown, ended or timeout, times in wall-clock microseconds or "-" when not reached.

It polls X from one process, as tests/support/traywatch.py does (whose X bindings it uses), so that watching
takes little from the program being timed.
"""

import ctypes
import os
import subprocess
import sys
import time

_top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(_top, "tests", "support"))
import traywatch as tw  # noqa: E402

X = tw.X
X.XDefaultRootWindow.restype = tw.Window
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XFetchName.restype = ctypes.c_int
X.XFetchName.argtypes = [ctypes.c_void_p, tw.Window, ctypes.POINTER(ctypes.c_char_p)]


def top_level_viewable(display, root, skip):
    """Viewable windows directly below the root that are neither in `skip` nor popups (override-redirect)."""
    found = []
    for window in tw.children(display, root):
        if window in skip:
            continue
        attributes = tw.XWindowAttributes()
        if X.XGetWindowAttributes(display, window, ctypes.byref(attributes)) and \
                attributes.map_state == tw.IsViewable and not attributes.override_redirect:
            found.append(window)
    return found


def window_name(display, window):
    name = ctypes.c_char_p()
    if X.XFetchName(display, window, ctypes.byref(name)) and name.value is not None:
        text = name.value.decode("utf-8", "replace")
        X.XFree(name)
        return text.replace(" ", "_") or "-"
    return "-"


def click(display, panel):
    """Clicks the middle of the first viewable icon embedded in the panel with xdotool, as a user would.

    xdotool is left to run on its own: it holds the button down for 100 ms, and the window that the press
    opens must be seen while it does."""
    for socket in tw.children(display, panel):
        for icon in tw.children(display, socket):
            attributes = tw.XWindowAttributes()
            if X.XGetWindowAttributes(display, icon, ctypes.byref(attributes)) and \
                    attributes.map_state == tw.IsViewable:
                return subprocess.Popen(["xdotool", "mousemove", "--window", str(icon), str(attributes.width // 2),
                                         str(attributes.height // 2), "click", "1"])
    return None


def main(argv):
    if argv[1:2] != ["wait"] or len(argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    display = X.XOpenDisplay(None)
    if not display:
        print("cannot open display", os.environ.get("DISPLAY"), file=sys.stderr)
        return 2
    panel, want_icons, want_windows = int(argv[2], 0), int(argv[3]), int(argv[4])
    want_click, timeout_s = argv[5] == "1", float(argv[6])
    root = X.XDefaultRootWindow(display)
    # Whatever is on the screen before the program starts is not its window.
    before = set(tw.children(display, root)) | {panel}
    print("ready", flush=True)
    pid = int(sys.stdin.readline())
    deadline = tw.now_us() + int(timeout_s * 1e6)
    icons_us = click_us = windows_us = None
    clicker = None
    icons = 0
    windows = []
    while True:
        icons = tw.embedded_viewable(display, panel) if want_icons else 0
        windows = top_level_viewable(display, root, before) if want_windows else []
        stamp = tw.now_us()
        if want_icons and icons_us is None and icons >= want_icons:
            icons_us = stamp
            if want_click:
                click_us = tw.now_us()
                clicker = click(display, panel)
                if clicker is None:
                    click_us = None
        if want_windows and windows_us is None and len(windows) >= want_windows:
            windows_us = stamp
        if (not want_icons or icons_us is not None) and (not want_windows or windows_us is not None):
            verdict = "shown"
        elif tw.process_ended(pid):
            verdict = "ended"
        elif stamp > deadline:
            verdict = "timeout"
        else:
            time.sleep(0.002)
            continue
        if clicker is not None:
            clicker.wait()
        name = window_name(display, windows[0]) if windows else "-"
        print(verdict, *(v if v is not None else "-" for v in (icons_us, click_us, windows_us)), icons,
              len(windows), name, flush=True)
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
