// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>

inline constexpr int MaxMailAccounts = 10;

// Every stored preference under its key name, the mail accounts, the computer name and the usage counters.
// Loaded once at start; every change of a preference writes the whole record back.
struct SettingsRecord {
    int StartNotes = 1;
    int StartClock = 1;
    int StartCalc = 1;
    int StartEmail = 1;
    int CalcFont = 3;
    int CalcSize = 2;
    bool ClockActive = false;
    int ClockPeriod = 5;
    int ClockDateActive = 1;
    int ClockTimeServer = 0;
    bool NotesAllHidden = false;
    bool NotesAllMinimized = false;
    QDate LastGet{1990, 1, 1};
    QDateTime ClockLastSyncTime{QDate(1990, 1, 1), QTime(0, 0)};
    bool PlaySound = true;
    int RunningTime = 1;
    int cntControlPanel = 0;
    int cntEmail = 0;
    int cntNote = 0;
    int cntContainer = 0;
    bool CalcOnTop = true;
    bool ShowContainer = true;
    QString NoteSender;
    qint32 totControl = 0;
    qint32 totEmail = 0;
    qint32 totNote = 0;
    qint32 totContainer = 0;
    qint32 totStart = 0;
    qint32 totRunningTime = 0;
    qint32 totMissedAlarms = 0;
    bool AcceptNotes = true;
    QString RasUserName;
    QString RasPassword;
    bool UseRas = false;
    QString RasConnection;
    int RasTime1 = 23;
    int RasTime2 = 7;
    int RasCheckLimited = 0;
    bool UseCustomTimeserver = false;
    QString CustomTimeserver;
    int HoursOff = 0;
    bool EndByEnd = false;
    // Account n uses index n-1; passwords are held decoded.
    std::array<QString, MaxMailAccounts> POPServer;
    std::array<QString, MaxMailAccounts> UserName;
    std::array<QString, MaxMailAccounts> PassWord;
    // What each account's server taught about encryption: "TLS" (it had TLS: the password never goes in clear to
    // it), "Clear" or "NoClear" (it has none, and the user allowed or refused sending the password anyway), or
    // nothing yet.
    std::array<QString, MaxMailAccounts> Encryption;
    // An IMAP account's folders checked besides INBOX: their names as the server gives them (modified UTF-7, never
    // a control character), a tab between two.
    std::array<QString, MaxMailAccounts> Folders;
    int NbrofAccounts = 1;
    QString EmailPath;
    QString CheckTime;
    // New mail goes to the desktop's notification area instead of the notice window, where the desktop has one.
    bool MailNotify = false;

    // Not stored: true when this start found the store empty and wrote the first-start defaults.
    bool FirstLaunch = false;
    // Not stored: taken from the system at every start.
    QString ComputerName;
    // Not stored: the running time counts from here, and adds to the total found in the store at start.
    QDateTime StartMoment;
    qint32 totRunningTimeAtStart = 0;
};
