// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/form_GhostTime.h"

#include "clock/form_Time.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "platform/Icons.h"
#include "platform/SystemClock.h"
#include "platform/SystemEvents.h"
#include "platform/Tray.h"

form_GhostTime::form_GhostTime(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostTime"), platform::suiteIcon(QStringLiteral("clock")),
                 QStringLiteral("Atomic time"), parent),
      m_sync(Settings(), platform::systemClockSetter())
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

    // The clock shares the autodial switch with the mail check: off while an attempt uses the network.
    connect(&m_sync, &ClockSync::attemptStarted, this, [] {
        AutodialFlags().ClockSyncActive = true;
        DisableAutodial();
        SetTrace(QStringLiteral("GetInternetTime"));
    });
    connect(&m_sync, &ClockSync::networkReleased, this, [] {
        AutodialFlags().ClockSyncActive = false;
        RestoreAutoDial();
    });
    // After a resume or a change of the network the schedule syncs again.
    const platform::SystemEvents &events = platform::systemEvents();
    connect(&events, &platform::SystemEvents::resumed, &m_sync, &ClockSync::systemWoke);
    connect(&events, &platform::SystemEvents::networkChanged, &m_sync, &ClockSync::systemWoke);
    // The moment of the last success is a setting, saved at once.
    connect(&m_sync, &ClockSync::clockSet, this, [] { saveSettings(); });
}

form_GhostTime::~form_GhostTime() = default;

form_Time *form_GhostTime::timeWindow()
{
    if (!m_time)
        m_time = std::make_unique<form_Time>(m_sync);
    return m_time.get();
}

void form_GhostTime::loadTimeWindow()
{
    if (m_timeLoaded)
        return;
    m_timeLoaded = true;
    // The count of failures starts afresh with each load.
    m_sync.resetErrorCount();
    timeWindow()->Form_Load();
    if (m_syncRunning)
        m_sync.startSchedule();
}

void form_GhostTime::startSync()
{
    m_syncRunning = true;
    if (Settings().ClockActive || m_timeLoaded) {
        loadTimeWindow();
        m_sync.startSchedule();
    }
}

void form_GhostTime::unloadTimeWindow()
{
    m_syncRunning = false;
    m_sync.stopSchedule();
    // An attempt under way ends with the program, so that a start again is free to sync.
    m_sync.abort();
    if (!m_time)
        return;
    m_time->hide();
    m_timeLoaded = false;
}

void form_GhostTime::trayActivated(platform::TrayClick click)
{
    if (click == platform::TrayClick::Left) {
        loadTimeWindow();
        if (!m_time->isVisible())
            m_time->show();
        m_time->setWindowState(m_time->windowState() & ~Qt::WindowMinimized);
        m_time->raise();
        m_time->activateWindow();
    } else if (click == platform::TrayClick::Right) {
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
