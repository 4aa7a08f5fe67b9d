// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// Gives a new control the name its handlers and tests know it by, and hands it on.
template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
