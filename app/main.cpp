#include "app/AppProgramHost.h"
#include "core/form_Tarnibe.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationWatcher.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnibe"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tarnibe"));
    // The suite lives in the tray; closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::SingleInstance instance;
    if (!instance.acquire()) {
        platform::SingleInstance::askRunningCopyToShow();
        return 0;
    }

    AppProgramHost host;
    form_Tarnibe controlPanel(host);
    host.attach(controlPanel);

    QObject::connect(&instance, &platform::SingleInstance::showRequested, &controlPanel,
                     &form_Tarnibe::showControlPanel);
    platform::TerminationWatcher terminationWatcher;
    terminationWatcher.start();
    QObject::connect(&terminationWatcher, &platform::TerminationWatcher::terminationRequested, &controlPanel,
                     &form_Tarnibe::EndSession);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &controlPanel,
                     [&controlPanel](QSessionManager &) { controlPanel.EndSession(); });

    controlPanel.Form_Load();
    return app.exec();
}
