#pragma once

#include <QString>
#include <QUrl>

namespace platform {

// Hands documents and command lines to the desktop; tests record what would have been opened.
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual bool openUrl(const QUrl &url) = 0;
    // Starts a program from a command line, split like a shell would but never run through one.
    virtual bool startDetached(const QString &commandLine) = 0;
};

Launcher &launcher();
// nullptr restores the desktop's own launcher.
void installLauncher(Launcher *launcher);

// Opens a page of the suite's manual ("index.html" and its siblings, compiled in under :/help/), optionally at an
// anchor ("notes.html#network").
bool openHelp(const QString &page = QStringLiteral("index.html"));

} // namespace platform
