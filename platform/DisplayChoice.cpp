// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayChoice.h"

#include <QDir>
#include <QFileInfo>
#include <xcb/xcb.h>

namespace platform {

namespace {

bool x11Opens(const QByteArray &display)
{
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    const bool opens = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opens;
}

// A Wayland display is a socket: a path, or a name in the runtime folder.
bool waylandThere(const QString &display)
{
    if (display.isEmpty())
        return false;
    const QString path =
        QDir::isAbsolutePath(display) ? display : qEnvironmentVariable("XDG_RUNTIME_DIR") + u'/' + display;
    return QFileInfo(path).exists();
}

} // namespace

DisplayChoice chooseDisplay()
{
    DisplayChoice choice;
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return choice;
    const QByteArray x11 = qgetenv("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    // Notes need what Wayland does not give a client: their own positions, stacking and staying on top. So X11
    // wherever it answers, Xwayland beside Wayland included.
    if (!x11.isEmpty() && x11Opens(x11)) {
        choice.platform = "xcb";
        return choice;
    }
    const QString lost =
        x11.isEmpty() ? QString()
                      : QStringLiteral("the X display %1 (DISPLAY) cannot be opened").arg(QString::fromLocal8Bit(x11));
    if (waylandThere(wayland)) {
        choice.platform = "wayland";
        choice.waylandOnly = true;
        if (!lost.isEmpty())
            choice.problem = u'T' + lost.mid(1) + QStringLiteral(": running on Wayland (%1)").arg(wayland);
        return choice;
    }
    choice.usable = false;
    choice.problem = QStringLiteral("Tarnibe needs a graphical session: ") +
                     (lost.isEmpty() ? QStringLiteral("no X display is set (DISPLAY)") : lost) +
                     (wayland.isEmpty() ? QStringLiteral(" and no Wayland display is set (WAYLAND_DISPLAY)")
                                        : QStringLiteral(" and the Wayland display %1 is not there").arg(wayland));
    return choice;
}

} // namespace platform
