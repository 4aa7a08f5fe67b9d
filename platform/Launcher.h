// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace platform {

// Hands documents and command lines to the desktop; tests record what would have been opened.
class Launcher {
public:
    virtual ~Launcher() = default;
    // False when nothing could be started. `failedLater` runs when the desktop's opener started but found nothing
    // to open the document with (xdg-open's way of saying there is no browser).
    virtual bool openUrl(const QUrl &url, std::function<void()> failedLater = {}) = 0;
    // Starts a program from a command line, split like a shell would but never run through one.
    virtual bool startDetached(const QString &commandLine) = 0;
};

Launcher &launcher();
// nullptr restores the desktop's own launcher.
void installLauncher(Launcher *launcher);

// Opens a page of the suite's manual ("index.html" and its siblings, compiled in under :/help/), optionally at an
// anchor ("notes.html#network"). When no browser opens it, now or a moment later, `failed` gets the page's path.
bool openHelp(const QString &page = QStringLiteral("index.html"),
              const std::function<void(const QString &path)> &failed = {});

} // namespace platform
