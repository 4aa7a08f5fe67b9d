// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Programs.h"

#include <QString>
#include <functional>

namespace platform {
class TrayOwner;
enum class TrayClick;
} // namespace platform
using TrayOwner = platform::TrayOwner;

// What the control panel asks of the programs, which live on higher floors. app/ supplies the real one; tests
// supply their own. Every call must be answered: a host that leaves one out does not compile.
class ProgramHost {
public:
    virtual ~ProgramHost() = default;
    virtual void readNetUsers() = 0;
    virtual void loadClockWindow() = 0;
    // Shows the program's owner window (which adds its tray icon) and what else the program shows at start.
    virtual void startProgram(Program program) = 0;
    virtual void startClockSync() = 0;
    virtual void checkMissedAlarms() = 0;
    virtual void setAcceptNotes(bool listen) = 0;
    virtual void openNetUsers() = 0;
    // Where no tray host runs, the control panel hands a program the clicks its tray icon would have had.
    virtual void trayClick(Program program, platform::TrayClick click) = 0;
    virtual void deleteTrayIcon(Program program) = 0;
    virtual void saveAllNotes() = 0;
    // Unloads every window of the programs, the note windows last.
    virtual void unloadWindows() = 0;
    virtual void endProcess() = 0;
};

// What a program's owner window asks of the control panel.
class ProgramLifecycle {
public:
    virtual ~ProgramLifecycle() = default;
    // A program's own exit: the whole suite ends when it is the last one running; otherwise its tray icon goes,
    // `unload` unloads its windows and does its own saving, and its running flag is cleared.
    virtual void exitProgram(Program program, TrayOwner *owner, const std::function<void()> &unload) = 0;
    virtual void showControlPanel() = 0;
    // Opens the manual at the program's own page ("notes.html", "notes.html#network", ...).
    virtual void openHelp(const QString &page) = 0;
};
