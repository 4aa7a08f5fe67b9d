#pragma once

#include "core/GhostOwner.h"

#include <memory>

class form_Time;

// Owner of the clock's tray icon ("Atomic time") and its menu, and of the clock window, which is loaded hidden at
// start and shown from the icon.
class form_GhostTime : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostTime(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);
    ~form_GhostTime() override;

    void Form_MouseMove(int message) override;
    void UnloadWindows() override;
    void menu_Help_Click();
    void menu_Sync_Click();
    void menu_Properties_Click();
    void menu_Exittime_Click();

    // Loads the clock window hidden, unless it is loaded already.
    void loadTimeWindow();
    // The scheduler runs while the clock program does.
    void startSync();
    form_Time *timeWindow() const { return m_time.get(); }

private:
    void unloadTimeWindow();

    std::unique_ptr<form_Time> m_time;
    bool m_timeLoaded = false;
};
