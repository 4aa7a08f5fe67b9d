// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace platform {

// One of the suite's icons ("notes", "calculator", "clock", "mail", "mail_new", "tarnibe"), from the bitmaps drawn
// at build time at every size a tray, title bar or panel asks for.
QIcon suiteIcon(const QString &name);

} // namespace platform
