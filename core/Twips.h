// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

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
void centreOnScreen(QWidget *window);
