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

// What the control panel asks of the suite, whose start, end and programs live on higher floors. app/ supplies the
// real one. Every call must be answered: a host that leaves one out does not compile.
class ProgramHost {
public:
    virtual ~ProgramHost() = default;
    // The start sequence: reads the settings, starts the programs chosen to start, and shows the panel where nothing
    // else leads into the suite.
    virtual void start() = 0;
    // The exit sequence: saves everything, logs "END" and ends the process. Once ending, a request does nothing.
    virtual void exit() = 0;
    // The panel closes because the process ends; `unloadMode` says why.
    virtual void unload(int unloadMode) = 0;
    // Shows the program's owner window (which adds its tray icon) and what else the program shows at start.
    virtual void startProgram(Program program) = 0;
    virtual void loadClockWindow() = 0;
    virtual void startClockSync() = 0;
    virtual void setAcceptNotes(bool listen) = 0;
    virtual void openNetUsers() = 0;
    // Where no tray host runs, the control panel hands a program the clicks its tray icon would have had.
    virtual void trayClick(Program program, platform::TrayClick click) = 0;
    // Opens the manual at a page ("control.html", "notes.html#network", ...).
    virtual void openHelp(const QString &page) = 0;
    // The owner of the program's tray icon, whose icon its picture shows where no tray runs.
    virtual const TrayOwner *trayOwnerOf(Program program) const = 0;
    // What the program's tray icon would tell besides its name, for its picture where no tray runs: lines of text.
    virtual QString programStatus(Program program) const = 0;
};

// What a program's owner window asks of the suite.
class ProgramLifecycle {
public:
    virtual ~ProgramLifecycle() = default;
    // A program's own exit: the whole suite ends when it is the last one running; otherwise its tray icon goes,
    // `unload` unloads its windows and does its own saving, and its running flag is cleared.
    virtual void exitProgram(Program program, TrayOwner *owner, const std::function<void()> &unload) = 0;
    virtual void showControlPanel() = 0;
    virtual void openHelp(const QString &page) = 0;
};
