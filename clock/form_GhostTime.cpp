// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/form_GhostTime.h"

#include "clock/form_Time.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "platform/Icons.h"
#include "platform/Tray.h"

form_GhostTime::form_GhostTime(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostTime"), platform::suiteIcon(QStringLiteral("clock")),
                 QStringLiteral("Atomic time"), parent)
{
    setObjectName(QStringLiteral("form_GhostTime"));
    setTrayIdentity(QStringLiteral("tarnibe-clock"), QStringLiteral("Tarnibe Atomic time"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_GhostTime::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_Sync"), QStringLiteral("&Sync time..."), &form_GhostTime::menu_Sync_Click);
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("&Tarnibe properties"),
                &form_GhostTime::menu_Properties_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_Exittime"), QStringLiteral("&Exit atomic time"),
                &form_GhostTime::menu_Exittime_Click);
}

form_GhostTime::~form_GhostTime() = default;

form_Time *form_GhostTime::timeWindow()
{
    if (!m_time) {
        m_time = std::make_unique<form_Time>();
        m_time->closeNoteConnection = [this] {
            if (closeNoteConnection)
                closeNoteConnection();
        };
    }
    return m_time.get();
}

void form_GhostTime::loadTimeWindow()
{
    if (m_timeLoaded)
        return;
    m_timeLoaded = true;
    timeWindow()->Form_Load();
    if (m_syncRunning)
        m_time->timer_CheckSync.start();
}

void form_GhostTime::startSync()
{
    m_syncRunning = true;
    if (Settings().ClockActive || m_timeLoaded) {
        loadTimeWindow();
        m_time->timer_CheckSync.start();
    }
}

void form_GhostTime::unloadTimeWindow()
{
    m_syncRunning = false;
    if (!m_time)
        return;
    m_time->timer_CheckSync.stop();
    m_time->timer_TimeOut.stop();
    m_time->Winsock1.abort();
    m_time->hide();
    m_timeLoaded = false;
}

void form_GhostTime::trayActivated(platform::TrayMessage message)
{
    if (message == platform::LeftButtonUp) {
        loadTimeWindow();
        if (!m_time->isVisible())
            m_time->show();
        m_time->setWindowState(m_time->windowState() & ~Qt::WindowMinimized);
        m_time->raise();
        m_time->activateWindow();
    } else if (message == platform::RightButtonUp) {
        showPopupMenu();
    }
}

void form_GhostTime::UnloadWindows()
{
    unloadTimeWindow();
}

void form_GhostTime::menu_Help_Click()
{
    m_lifecycle.openHelp(QStringLiteral("clock.html"));
}

void form_GhostTime::menu_Sync_Click()
{
    loadTimeWindow();
    m_time->c_CheckNow_Click();
}

void form_GhostTime::menu_Properties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_GhostTime::menu_Exittime_Click()
{
    m_lifecycle.exitProgram(Program::Clock, this, [this] {
        unloadTimeWindow();
        Unload();
    });
    RestoreAutoDial();
}
