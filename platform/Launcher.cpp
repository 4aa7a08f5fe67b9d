// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Launcher.h"

#include "platform/Seams.h"

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
    bool openUrl(const QUrl &url, std::function<void()> failedLater) override
    {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty())
            return QDesktopServices::openUrl(url);
        // xdg-open says with its exit status when nothing could open the document; a browser it starts may keep
        // it running, which is success.
        auto *process = new QProcess;
        process->setProgram(opener);
        process->setArguments({url.toString(QUrl::FullyEncoded)});
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(process, &QProcess::finished, process,
                         [process, failedLater = std::move(failedLater)](int code, QProcess::ExitStatus status) {
                             if ((status != QProcess::NormalExit || code != 0) && failedLater)
                                 failedLater();
                             process->deleteLater();
                         });
        process->start();
        if (!process->waitForStarted(3000)) {
            delete process;
            return false;
        }
        return true;
    }
    bool startDetached(const QString &commandLine) override
    {
        QStringList args = QProcess::splitCommand(commandLine);
        if (args.isEmpty())
            return false;
        const QString program = args.takeFirst();
        return QProcess::startDetached(program, args);
    }
};

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
    return serving<DesktopLauncher>(&Facilities::launcher);
}

void installLauncher(Launcher *launcher)
{
    seams().launcher = launcher;
}

bool openHelp(const QString &page, const std::function<void(const QString &path)> &failed)
{
    const qsizetype hash = page.indexOf(u'#');
    const QString path = extractManual() + u'/' + page.left(hash);
    QUrl url = QUrl::fromLocalFile(path);
    if (hash >= 0)
        url.setFragment(page.mid(hash + 1));
    const auto tell = [failed, path] {
        if (failed)
            failed(path);
    };
    if (launcher().openUrl(url, tell))
        return true;
    tell();
    return false;
}

} // namespace platform
