// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppProgramHost.h"

#include "alarms/Alarms.h"
#include "calculator/form_GhostCalculator.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/AutodialFlags.h"
#include "core/DateText.h"
#include "core/ErrorLog.h"
#include "core/RunningTime.h"
#include "core/Settings.h"
#include "core/TrayIcon.h"
#include "core/Twips.h"
#include "core/form_Tarnibe.h"
#include "mail/form_NotifyMail.h"
#include "netnotes/NetNotes.h"
#include "netnotes/NetUserStore.h"
#include "notes/NoteStore.h"
#include "notes/NoteTransfer.h"
#include "notes/form_GhostNotes.h"
#include "notes/form_Main.h"
#include "platform/Clock.h"
#include "platform/Launcher.h"
#include "platform/MessageBox.h"
#include "platform/SingleInstance.h"
#include "platform/Tray.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>

AppProgramHost::AppProgramHost() = default;

AppProgramHost::~AppProgramHost()
{
    UnloadAlarmWindows();
    NoteStore().clear();
}

void AppProgramHost::attach(form_Tarnibe &panel)
{
    m_panel = &panel;
    ProgramLifecycle &lifecycle = *this;
    m_notes = std::make_unique<form_GhostNotes>(lifecycle);
    m_container = std::make_unique<form_Main>();
    ConnectAlarmWindows();
    QObject::connect(m_container.get(), &form_Main::alarmCheckDue, &Alarms(), &AlarmScheduler::check);
    m_netNotes = std::make_unique<NetNotes>();
    QObject::connect(&NoteStore(), &NoteTable::sendDialogWanted, m_netNotes.get(), &NetNotes::openSendDialog);
    QObject::connect(m_netNotes.get(), &NetNotes::senderNameWanted, &panel,
                     [&panel](QString *name) { *name = panel.senderName(); });
    QObject::connect(m_netNotes.get(), &NetNotes::noteArrived, m_container.get(), [this](const NoteMessage &message) {
        // A note that arrives while the notes program is not running starts it: the note is shown and saved.
        ensureNotesRunning();
        m_container->NewNote_Click(message.text, message.alarmOn, message.from, message.alarmDate, message.alarmRepeat,
                                   message.alarmTime, message.alarmTip);
    });
    m_calculator = std::make_unique<form_GhostCalculator>(lifecycle);
    m_clock = std::make_unique<form_GhostTime>(lifecycle);
    // What closes the note sender's connection: a deletion of notes, an alarm icon's box in a note window (once it
    // is answered), and each clock attempt that asks a server.
    NetNotes *net = m_netNotes.get();
    QObject::connect(&NoteStore(), &NoteTable::deletionEnded, net, &NetNotes::closeOutgoingConnection);
    QObject::connect(&NoteStore(), &NoteTable::alarmIconClicked, net, [net](int, bool fromNoteWindow) {
        if (fromNoteWindow)
            net->closeOutgoingConnection();
    });
    QObject::connect(&m_clock->sync(), &ClockSync::attemptStarted, net, [net](const QString &server) {
        if (!server.isEmpty())
            net->closeOutgoingConnection();
    });
    m_mail = std::make_unique<form_NotifyMail>(lifecycle);
    QObject::connect(&m_clock->sync(), &ClockSync::clockSet, m_clock.get(), [this](const QString &timeText) {
        m_clockResult =
            QStringLiteral("%1: the clock was set to %2").arg(formatTime(platform::Clock::now().time()), timeText);
    });
    QObject::connect(&m_clock->sync(), &ClockSync::failed, m_clock.get(), [this](const SyncFailure &failure) {
        m_clockResult = QStringLiteral("%1: the clock could not be set (%2)")
                            .arg(formatTime(platform::Clock::now().time()), failure.description);
    });
}

const TrayOwner *AppProgramHost::trayOwnerOf(Program program) const
{
    return owner(program);
}

QString AppProgramHost::programStatus(Program program) const
{
    switch (program) {
    case Program::Notes: {
        const QString status =
            NoteStore().count() == 1 ? QStringLiteral("1 note") : QStringLiteral("%1 notes").arg(NoteStore().count());
        if (const auto next = Alarms().nextAlarm()) {
            // As the note's alarm icon tells it.
            const NoteRecord &note = *NoteStore().record(next->second);
            return status + QStringLiteral("\nNext alarm: ") + note.alarmDate + u"  " + note.alarmTime;
        }
        return status + QStringLiteral("\nNo alarm set");
    }
    case Program::Clock: {
        const QString last = Settings().ClockLastSyncTime == SettingsRecord().ClockLastSyncTime
                                 ? QStringLiteral("Not synchronised yet")
                                 : QStringLiteral("Last synchronised: ") + formatDateTime(Settings().ClockLastSyncTime);
        return m_clockResult.isEmpty() ? last : last + u'\n' + m_clockResult;
    }
    case Program::Email: {
        // The tray's tip says what a click does and, after a failed check, why it failed.
        const std::optional<TrayIcons::Shown> shown = trayIcons().of(static_cast<const TrayOwner *>(m_mail.get()));
        return shown ? shown->tip.section(u'\n', 1) : QString();
    }
    case Program::Calculator:
        break;
    }
    return {};
}

GhostOwner *AppProgramHost::owner(Program program) const
{
    switch (program) {
    case Program::Notes:
        return m_notes.get();
    case Program::Calculator:
        return m_calculator.get();
    case Program::Clock:
        return m_clock.get();
    case Program::Email:
        break;
    }
    return m_mail.get();
}

void AppProgramHost::start()
{
    StartRunningTime();
    logError(QStringLiteral("BEGIN"));

    const bool firstLaunch = IsFirstStart();
    if (firstLaunch)
        writeFirstStartDefaults();
    loadSettings();
    Settings().FirstLaunch = firstLaunch;
    ReadNetUsers();
    m_panel->settingsRead();

    AutodialFlags() = AutodialFlagsRecord{};
    ProgramRunFlags() = ProgramRunFlagsRecord{};
    Settings().totStart += 1;

    // Without a tray the panel opens first, so that what the programs open goes beside it.
    if (!platform::trayHost().available())
        m_panel->becomeHome();
    loadClockWindow();
    const SettingsRecord &s = Settings();
    if (s.StartNotes == 1) {
        launch(Program::Notes);
        Alarms().checkMissed();
    }
    if (s.StartCalc == 1)
        launch(Program::Calculator);
    if (s.StartClock == 1) {
        launch(Program::Clock);
        startClockSync();
    }
    if (s.StartEmail == 1)
        launch(Program::Email);
    setAcceptNotes(s.AcceptNotes);

    // With no program started, or no tray to show their icons, the panel is the only way into the suite.
    if (CountRunningPrograms() == 0 || !platform::trayHost().available())
        m_panel->show();
}

void AppProgramHost::launch(Program program)
{
    startProgram(program);
    ProgramRunFlags().of(program) = true;
}

void AppProgramHost::exit()
{
    if (m_ending)
        return;
    m_ending = true;
    m_panel->storeFields();
    SettingsRecord &s = Settings();
    logError(QStringLiteral("END"));
    s.EndByEnd = true;
    s.cntControlPanel += 1;
    s.totControl += 1;
    // Exit never waits for the keyring (a prompt can wait for minutes): a password it does not hold yet stays
    // encoded in the file, and the next start moves it in.
    saveSettings(KeyringWait::No);
    for (Program program : {Program::Clock, Program::Notes, Program::Calculator, Program::Email})
        deleteTrayIcon(program);
    saveAllNotes();
    unloadWindows();
    ProgramRunFlags().notes = false;
    m_panel->closeForEnd(form_Tarnibe::FormCode);
    endProcess();
}

void AppProgramHost::unload(int unloadMode)
{
    for (Program program : {Program::Clock, Program::Notes, Program::Calculator})
        deleteTrayIcon(program);
    saveAllNotes();
    saveSettings(KeyringWait::No);
    logError(u"Ending windows session:" + QString::number(unloadMode));
}

void AppProgramHost::saveForSession()
{
    saveAllNotes();
    saveSettings(KeyringWait::No);
}

void AppProgramHost::endSession()
{
    if (m_ending)
        return;
    m_ending = true;
    m_panel->closeForEnd(form_Tarnibe::AppWindows);
    endProcess();
}

void AppProgramHost::exitProgram(Program program, TrayOwner *owner, const std::function<void()> &unload)
{
    if (CountRunningPrograms() < 2) {
        exit();
        return;
    }
    DeleteTrayIcon(owner);
    if (unload)
        unload();
    ProgramRunFlags().of(program) = false;
}

void AppProgramHost::showControlPanel()
{
    m_panel->showControlPanel();
}

void AppProgramHost::openHelp(const QString &page)
{
    platform::openHelp(page, [](const QString &path) {
        platform::showMessageLater(QStringLiteral("No web browser could open the manual. It is here:\n\r") + path,
                                   QStringLiteral("Help"), platform::MsgIcon::Information);
    });
}

void AppProgramHost::setAcceptNotes(bool listen)
{
    m_netNotes->setAcceptNotes(listen);
}

void AppProgramHost::openNetUsers()
{
    m_netNotes->openNetUsers(true);
}

void AppProgramHost::trayClick(Program program, platform::TrayClick click)
{
    if (GhostOwner *o = owner(program))
        o->trayActivated(click);
}

void AppProgramHost::loadClockWindow()
{
    // Without scheduled syncs nothing needs the window until the user opens it (or syncs from the menu).
    if (Settings().ClockActive)
        m_clock->loadTimeWindow();
}

void AppProgramHost::startClockSync()
{
    m_clock->startSync();
}

void AppProgramHost::startProgram(Program program)
{
    if (program == Program::Notes) {
        m_notes->Form_Load();
        // The container loads the notes once; later starts of the notes program only show it again.
        if (!m_containerLoaded) {
            m_containerLoaded = true;
            m_container->Form_Load();
            m_container->setVisible(Settings().ShowContainer);
        } else if (Settings().ShowContainer) {
            // Started again from the control panel: the user wants to see it, wherever it went.
            m_container->bringBack();
        } else {
            m_container->hide();
        }
        return;
    }
    if (GhostOwner *o = owner(program))
        o->Form_Load();
}

void AppProgramHost::ensureNotesRunning()
{
    if (!ProgramRunFlags().notes) {
        ProgramRunFlags().notes = true;
        startProgram(Program::Notes);
    }
}

platform::CommandAnswer AppProgramHost::notesCommand(const QStringList &command)
{
    const QString path = command.value(1);
    TransferResult result;
    // Only while a box of the start is open: what the start reads next may yet replace the table.
    if (NoteStore().reading)
        return {false, QStringLiteral("Tarnibe is reading its notes; try again once it has started.")};
    if (command.value(0) == u"export-notes") {
        const ExportForm form = command.value(2) == u"text" ? ExportForm::Text : ExportForm::NotesFile;
        // The table holds the notes once the container has read them, whether or not the notes program runs now.
        result = m_containerLoaded ? ExportNotes(CurrentNoteRecords(), path, form) : ExportNotesFile(path, form);
    } else if (command.value(0) == u"import-notes") {
        QList<NoteRecord> notes;
        result = ReadNotesToImport(path, notes);
        if (result.ok && !notes.isEmpty()) {
            ensureNotesRunning();
            AddImportedNotes(notes, screenTwips());
        }
        if (result.ok)
            result.message = ImportDone(result, notes.size());
    } else {
        return {false, QStringLiteral("This Tarnibe does not know that command.")};
    }
    return {result.ok, result.message};
}

void AppProgramHost::saveAllNotes()
{
    SaveAllNotes();
}

void AppProgramHost::deleteTrayIcon(Program program)
{
    if (GhostOwner *o = owner(program))
        o->deleteTrayIcon();
}

void AppProgramHost::unloadWindows()
{
    for (Program program : {Program::Calculator, Program::Notes, Program::Email, Program::Clock}) {
        if (GhostOwner *o = owner(program)) {
            o->Unload();
            o->hide();
            o->UnloadWindows();
            if (program == Program::Notes && m_container)
                m_container->Unload();
        }
    }
    UnloadAlarmWindows();
    if (m_netNotes)
        m_netNotes->unloadWindows();
    NoteStore().clear();
}

void AppProgramHost::endProcess()
{
    // From the main loop itself, ending it unwinds everything in order.
    if (m_mainLoopStarted && QThread::currentThread()->loopLevel() == 1) {
        QCoreApplication::exit(0);
        return;
    }
    // Before the main loop, exit() would be forgotten once it starts; inside a box's own loop, the code waiting on
    // the box would run on with every window gone (and could save an empty table). Notes and settings are saved by
    // now: end here.
    if (m_instance)
        m_instance->release();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}
