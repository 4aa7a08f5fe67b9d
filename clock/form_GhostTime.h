// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clock/ClockSync.h"
#include "core/GhostOwner.h"

#include <memory>

class form_Time;

// Owner of the clock's tray icon ("Atomic time") and its menu, of the clock sync and of the clock window, which is
// shown from the icon. The window is loaded hidden at start when scheduled syncs are switched on, as the schedule
// runs while it is loaded; otherwise it is made the first time it is needed, and a start that never needs it loads
// no fonts for it.
class form_GhostTime : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostTime(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);
    ~form_GhostTime() override;

    void trayActivated(platform::TrayClick click) override;
    void UnloadWindows() override;
    void menu_Help_Click();
    void menu_Sync_Click();
    void menu_Properties_Click();
    void menu_Exittime_Click();

    // Loads the clock window hidden, unless it is loaded already.
    void loadTimeWindow();
    // The schedule runs while the clock program does; with scheduled syncs off it has nothing to do until the window
    // is loaded, where they are switched on.
    void startSync();
    form_Time *timeWindow();
    ClockSync &sync() { return m_sync; }

private:
    void unloadTimeWindow();

    ClockSync m_sync;
    std::unique_ptr<form_Time> m_time;
    bool m_timeLoaded = false;
    bool m_syncRunning = false;
};
