#include "platform/Launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {

class DesktopLauncher final : public Launcher {
public:
    bool openUrl(const QUrl &url) override { return QDesktopServices::openUrl(url); }
    bool startDetached(const QString &commandLine) override
    {
        QStringList args = QProcess::splitCommand(commandLine);
        if (args.isEmpty())
            return false;
        const QString program = args.takeFirst();
        return QProcess::startDetached(program, args);
    }
};

Launcher *g_launcher = nullptr;

// A browser cannot read the compiled-in manual, so it is copied out to the cache folder first.
QString extractManual()
{
    const QString target = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/Tarnibe/help";
    QDir().mkpath(target);
    QDirIterator it(QStringLiteral(":/help"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString dest = target + source.mid(QStringLiteral(":/help").size());
        QDir().mkpath(QFileInfo(dest).absolutePath());
        QFile::remove(dest);
        QFile::copy(source, dest);
        QFile::setPermissions(dest, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                        QFileDevice::ReadGroup);
    }
    return target;
}

} // namespace

Launcher &launcher()
{
    if (g_launcher)
        return *g_launcher;
    static DesktopLauncher desktopLauncher;
    return desktopLauncher;
}

void installLauncher(Launcher *launcher)
{
    g_launcher = launcher;
}

bool openHelp(const QString &page)
{
    const qsizetype hash = page.indexOf(u'#');
    QUrl url = QUrl::fromLocalFile(extractManual() + u'/' + page.left(hash));
    if (hash >= 0)
        url.setFragment(page.mid(hash + 1));
    return launcher().openUrl(url);
}

} // namespace platform
