// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramHost.h"

#include <memory>

class GhostOwner;
class form_GhostCalculator;
class form_GhostNotes;
class form_GhostTime;
class form_Main;
class form_NotifyMail;
class NetNotes;
class form_Tarnibe;
namespace platform {
class SingleInstance;
}

// The programs as the control panel sees them: builds each owner window once and starts, stops and unloads them.
// It also wires what the notes ask of the alarms and the network notes.
class AppProgramHost : public ProgramHost {
public:
    AppProgramHost();
    ~AppProgramHost() override;

    // The owners ask the control panel for their own exit, help and properties.
    void attach(form_Tarnibe &panel);

    void readNetUsers() override;
    void setAcceptNotes(bool listen) override;
    void openNetUsers() override;
    void trayClick(Program program, platform::TrayClick click) override;
    void loadClockWindow() override;
    void startClockSync() override;
    void startProgram(Program program) override;
    void saveAllNotes() override;
    void checkMissedAlarms() override;
    void deleteTrayIcon(Program program) override;
    void unloadWindows() override;
    void endProcess() override;

    // The process's lock, given up when the process has to end without unwinding; and the moment the main loop
    // takes over from the start.
    void setInstance(platform::SingleInstance *instance) { m_instance = instance; }
    void mainLoopStarting() { m_mainLoopStarted = true; }

    GhostOwner *owner(Program program) const;
    form_Main *container() const { return m_container.get(); }
    NetNotes *netNotes() const { return m_netNotes.get(); }

private:
    std::unique_ptr<form_GhostNotes> m_notes;
    std::unique_ptr<form_Main> m_container;
    bool m_containerLoaded = false;
    std::unique_ptr<form_GhostCalculator> m_calculator;
    std::unique_ptr<form_GhostTime> m_clock;
    std::unique_ptr<form_NotifyMail> m_mail;
    std::unique_ptr<NetNotes> m_netNotes;
    platform::SingleInstance *m_instance = nullptr;
    bool m_mainLoopStarted = false;
};
