#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints the text on the clipboard (the CLIPBOARD selection) of the X display in DISPLAY, as its owner gives it
in UTF-8; nothing when nobody owns it. Exit status 1 when the owner gives no answer within 5 seconds."""

import ctypes
import sys
import time

X = ctypes.cdll.LoadLibrary("libX11.so.6")
Window = ctypes.c_ulong
X.XOpenDisplay.restype = ctypes.c_void_p
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XDefaultRootWindow.restype = Window
X.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, Window] + [ctypes.c_int] * 4 + [ctypes.c_uint, ctypes.c_ulong,
                                                                                 ctypes.c_ulong]
X.XCreateSimpleWindow.restype = Window
X.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
X.XInternAtom.restype = ctypes.c_ulong
X.XConvertSelection.argtypes = [ctypes.c_void_p] + [ctypes.c_ulong] * 5
X.XFlush.argtypes = [ctypes.c_void_p]
X.XCheckTypedWindowEvent.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_void_p]
X.XGetWindowProperty.argtypes = [ctypes.c_void_p, Window, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
                                 ctypes.c_ulong] + [ctypes.c_void_p] * 5
SelectionNotify = 31

display = X.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
window = X.XCreateSimpleWindow(display, X.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
atom = lambda name: X.XInternAtom(display, name, False)
X.XConvertSelection(display, atom(b"CLIPBOARD"), atom(b"UTF8_STRING"), atom(b"CLIPBOARD_TEXT"), window, 0)
X.XFlush(display)

event = (ctypes.c_long * 24)()
deadline = time.monotonic() + 5
while not X.XCheckTypedWindowEvent(display, window, SelectionNotify, event):
    if time.monotonic() > deadline:
        sys.exit(1)
    time.sleep(0.01)
# XSelectionEvent: type, serial, send_event, display, requestor, selection, target, property (None when refused).
if event[7]:
    kind, bits, count, after, data = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong(), \
        ctypes.c_void_p()
    X.XGetWindowProperty(display, window, event[7], 0, 1 << 20, True, 0, ctypes.byref(kind), ctypes.byref(bits),
                         ctypes.byref(count), ctypes.byref(after), ctypes.byref(data))
    if data.value:
        sys.stdout.buffer.write(ctypes.string_at(data.value, count.value))
