// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppProgramHost.h"
#include "app/NotesCommand.h"
#include "core/ErrorLog.h"
#include "core/form_Tarnibe.h"
#include "platform/DisplayChoice.h"
#include "platform/MessageBox.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationWatcher.h"
#include "platform/WindowFlags.h"

#include <QApplication>
#include <QSessionManager>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Scripts export and import notes with no window and, where no suite runs, no display.
    if (isNotesCommand(argc, argv))
        return runNotesCommand(argc, argv);
    // Without Xwayland the suite runs on Wayland and says once what will not work there; with no display at all it
    // says why it cannot start.
    const platform::DisplayChoice display = platform::chooseDisplay();
    if (!display.problem.isEmpty())
        logError(display.problem);
    if (!display.usable) {
        std::fprintf(stderr, "%s\n", qPrintable(display.problem));
        return 1;
    }
    if (!display.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platform);
    const bool waylandOnly = display.waylandOnly;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnibe"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tarnibe"));
    // The suite lives in the tray; closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::typeMenusAsPopups();

    platform::SingleInstance instance;
    if (!instance.acquire()) {
        platform::SingleInstance::askRunningCopyToShow();
        return 0;
    }

    AppProgramHost host;
    form_Tarnibe controlPanel(host);
    host.attach(controlPanel);
    host.setInstance(&instance);

    QObject::connect(&instance, &platform::SingleInstance::showRequested, &controlPanel,
                     &form_Tarnibe::showControlPanel);
    QObject::connect(
        &instance, &platform::SingleInstance::commandRequested, &controlPanel,
        [&host](const QStringList &command, platform::CommandAnswer *answer) { *answer = host.notesCommand(command); });
    platform::TerminationWatcher terminationWatcher;
    terminationWatcher.start();
    QObject::connect(&terminationWatcher, &platform::TerminationWatcher::terminationRequested, &controlPanel,
                     [&host] { host.endSession(); });
    // The session manager asks at a checkpoint and before a logout that may still be cancelled: save, stay. When the
    // session really ends it ends the main loop (or sends a signal), and the end runs as for a signal.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &controlPanel,
                     [&host](QSessionManager &) { host.saveForSession(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controlPanel, [&host] { host.endSession(); });

    controlPanel.Form_Load();
    if (waylandOnly) {
        logError(QStringLiteral("Wayland without Xwayland: notes keep no places and cannot stay on top"));
        platform::showMessageLater(
            QStringLiteral("Tarnibe runs on Wayland without Xwayland here. Notes therefore cannot keep their places "
                           "on the screen, be sorted or stay on top of other windows. Install Xwayland (the "
                           "xwayland package) for them."),
            QStringLiteral("Info"), platform::MsgIcon::Information);
    }
    host.mainLoopStarting();
    return app.exec();
}
