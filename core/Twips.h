// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <optional>

// Windows keep their geometry in twips in the model; 15 twips make one pixel.
inline constexpr int TwipsPerPixel = 15;

inline int toPixels(int twips)
{
    return (twips >= 0 ? twips + TwipsPerPixel / 2 : twips - TwipsPerPixel / 2) / TwipsPerPixel;
}

inline int toTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

// The screen the suite works on, in twips.
inline QRect screenTwips()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect px = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    return {toTwips(px.x()), toTwips(px.y()), toTwips(px.width()), toTwips(px.height())};
}

// Centres a window's frame on its screen: left = (screen width - frame width) / 2, top likewise. A window not shown
// yet is centred by the frame the window manager expects for it, or by its own size where it says nothing; once it
// shows and its frame is known it is centred again by that, unless it was moved elsewhere meanwhile.
// Without a home window set that is all. With one (the Control center, where no tray runs and it stays open as the
// way into the suite) a window opens beside it instead, where it covers none of it; the home moves aside to make room
// where neither fits otherwise.
void centreOnScreen(QWidget *window);

// The window every other opens beside while it shows; nullptr for none.
void setHomeWindow(QWidget *home);
QWidget *homeWindow();
// The frame's top-left for a frame of `frame` pixels within `area` that covers none of `taken`: beside the first of
// them (right of it, below, left, above, in that order), else beside the others; nothing where it fits nowhere.
std::optional<QPoint> spotBeside(const QList<QRect> &taken, QSize frame, const QRect &area);
