// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The windowing system the suite starts on, chosen before the application exists: Qt aborts the process when the
// one it picks cannot be reached, with nothing in the error log.
struct DisplayChoice {
    // What QT_QPA_PLATFORM is to be; empty leaves the choice as it is.
    QByteArray platform;
    // On Wayland with no X display beside it: notes keep no places there.
    bool waylandOnly = false;
    // Why a display that was set is not used, or why none can be: for the error log (and standard error when the
    // suite cannot start).
    QString problem;
    bool usable = true;
};

// X11 where an X display opens (Xwayland included), else Wayland where its socket is there. A platform the user
// chose is theirs.
DisplayChoice chooseDisplay();

} // namespace platform
