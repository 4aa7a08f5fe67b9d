// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WindowFlags.h"

#include <QWidget>

namespace platform {

namespace {
void setFlagKeepingVisibility(QWidget *window, Qt::WindowType flag, bool on)
{
    if (!window || window->windowFlags().testFlag(flag) == on)
        return;
    // Changing a window flag hides the window; show it again where it was.
    const bool visible = window->isVisible();
    window->setWindowFlag(flag, on);
    if (visible)
        window->show();
}
} // namespace

void setAlwaysOnTop(QWidget *window, bool onTop)
{
    setFlagKeepingVisibility(window, Qt::WindowStaysOnTopHint, onTop);
}

void removeCloseButton(QWidget *window)
{
    if (!window)
        return;
    // Customised hints keep the title and the other buttons but leave out the close button.
    Qt::WindowFlags flags = window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint;
    flags &= ~Qt::WindowCloseButtonHint;
    if (flags == window->windowFlags())
        return;
    const bool visible = window->isVisible();
    window->setWindowFlags(flags);
    if (visible)
        window->show();
}

} // namespace platform
