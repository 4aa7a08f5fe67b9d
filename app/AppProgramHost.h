// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramHost.h"

#include <QStringList>
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
struct CommandAnswer;
} // namespace platform

// The suite: its start, its exit and the session's end, which the control panel and the process's signals ask for,
// and the programs, each of whose owner windows it builds once and starts, stops and unloads. It also wires what the
// notes ask of the alarms and the network notes.
class AppProgramHost : public ProgramHost, public ProgramLifecycle {
public:
    AppProgramHost();
    ~AppProgramHost() override;

    // The panel leads to the programs and the programs' owners ask the suite for their own exit, help and the panel.
    void attach(form_Tarnibe &panel);

    // ProgramHost
    void start() override;
    void exit() override;
    void unload(int unloadMode) override;
    void startProgram(Program program) override;
    void loadClockWindow() override;
    void startClockSync() override;
    void setAcceptNotes(bool listen) override;
    void openNetUsers() override;
    void trayClick(Program program, platform::TrayClick click) override;
    void openHelp(const QString &page) override;
    const TrayOwner *trayOwnerOf(Program program) const override;
    QString programStatus(Program program) const override;

    // ProgramLifecycle
    void exitProgram(Program program, TrayOwner *owner, const std::function<void()> &unload) override;
    void showControlPanel() override;

    // The desktop session or a termination signal ends the process: save everything, then end.
    void endSession();
    // Saves the notes and settings for a session checkpoint or a logout that may yet be cancelled; nothing ends.
    void saveForSession();

    virtual void saveAllNotes();
    // Unloads every window of the programs, the note windows last.
    void unloadWindows();
    // Ends the process once everything is saved.
    virtual void endProcess();

    // The process's lock, given up when the process has to end without unwinding; and the moment the main loop
    // takes over from the start.
    void setInstance(platform::SingleInstance *instance) { m_instance = instance; }
    void mainLoopStarting() { m_mainLoopStarted = true; }

    // A notes command line handed to the running suite (see NotesCommand.h): the notes as they are now are exported,
    // imported notes join them as new notes, the notes program started for them as for a received note.
    platform::CommandAnswer notesCommand(const QStringList &command);

    GhostOwner *owner(Program program) const;
    form_Main *container() const { return m_container.get(); }
    NetNotes *netNotes() const { return m_netNotes.get(); }

private:
    // Starts the notes program where it is not running, as a note that arrives does.
    void ensureNotesRunning();
    // Starts a program and counts it as running.
    void launch(Program program);
    void deleteTrayIcon(Program program);

    form_Tarnibe *m_panel = nullptr;
    bool m_ending = false;
    std::unique_ptr<form_GhostNotes> m_notes;
    std::unique_ptr<form_Main> m_container;
    bool m_containerLoaded = false;
    std::unique_ptr<form_GhostCalculator> m_calculator;
    std::unique_ptr<form_GhostTime> m_clock;
    std::unique_ptr<form_NotifyMail> m_mail;
    std::unique_ptr<NetNotes> m_netNotes;
    // How the clock's last attempt ended, for its picture.
    QString m_clockResult;
    platform::SingleInstance *m_instance = nullptr;
    bool m_mainLoopStarted = false;
};
