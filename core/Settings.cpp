// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "core/DateText.h"
#include "core/ErrorLog.h"
#include "core/Password.h"
#include "core/Trace.h"
#include "platform/Clock.h"
#include "platform/IniStore.h"
#include "platform/Paths.h"
#include "platform/Secrets.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QSet>
#include <QSysInfo>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <deque>
#include <memory>
#include <variant>
#include <vector>

namespace {

using platform::ErrorKind;
using S = SettingsRecord;

const QString Group = QStringLiteral("Settings");

enum class Kind { Int16, Int32, Flag, Date, DateTime, Text, Password };

using Member = std::variant<int S::*, bool S::*, QDate S::*, QDateTime S::*, QString S::*,
                            std::array<QString, MaxMailAccounts> S::*>;

struct Field {
    QString key;
    Kind kind;
    Member member;
    QString firstDefault;
    int account = 0; // index into the account tables
};

QString accountSuffix(int index)
{
    return index == 0 ? QString() : QString::number(index + 1);
}

std::vector<Field> makeFields()
{
    const auto text = [](const char *s) { return QString::fromLatin1(s); };
    std::vector<Field> f = {
        {text("StartNotes"), Kind::Int16, &S::StartNotes, text("1")},
        {text("StartClock"), Kind::Int16, &S::StartClock, text("1")},
        {text("StartCalc"), Kind::Int16, &S::StartCalc, text("1")},
        {text("StartEmail"), Kind::Int16, &S::StartEmail, text("1")},
        {text("CalcFont"), Kind::Int16, &S::CalcFont, text("3")},
        {text("CalcSize"), Kind::Int16, &S::CalcSize, text("2")},
        {text("ClockActive"), Kind::Flag, &S::ClockActive, text("False")},
        {text("ClockPeriod"), Kind::Int16, &S::ClockPeriod, text("5")},
        {text("ClockDateActive"), Kind::Int16, &S::ClockDateActive, text("1")},
        {text("ClockTimeServer"), Kind::Int16, &S::ClockTimeServer, text("0")},
        {text("NotesAllHidden"), Kind::Flag, &S::NotesAllHidden, text("False")},
        {text("NotesAllMinimized"), Kind::Flag, &S::NotesAllMinimized, text("False")},
        {text("LastGet"), Kind::Date, &S::LastGet, text("1990-01-01")},
        {text("ClockLastSyncTime"), Kind::DateTime, &S::ClockLastSyncTime, text("1990-01-01 00:00:00")},
        {text("PlaySound"), Kind::Flag, &S::PlaySound, text("True")},
        {text("RunningTime"), Kind::Int16, &S::RunningTime, text("1")},
        {text("cntControlPanel"), Kind::Int16, &S::cntControlPanel, text("0")},
        {text("cntEmail"), Kind::Int16, &S::cntEmail, text("0")},
        {text("cntNote"), Kind::Int16, &S::cntNote, text("0")},
        {text("cntContainer"), Kind::Int16, &S::cntContainer, text("0")},
        {text("CalcOnTop"), Kind::Flag, &S::CalcOnTop, text("True")},
        {text("ShowContainer"), Kind::Flag, &S::ShowContainer, text("True")},
        {text("NoteSender"), Kind::Text, &S::NoteSender, {}},
        {text("totControl"), Kind::Int32, &S::totControl, text("0")},
        {text("totEmail"), Kind::Int32, &S::totEmail, text("0")},
        {text("totNote"), Kind::Int32, &S::totNote, text("0")},
        {text("totContainer"), Kind::Int32, &S::totContainer, text("0")},
        {text("totStart"), Kind::Int32, &S::totStart, text("0")},
        {text("totRunningTime"), Kind::Int32, &S::totRunningTime, text("0")},
        {text("totMissedAlarms"), Kind::Int32, &S::totMissedAlarms, text("0")},
        {text("AcceptNotes"), Kind::Flag, &S::AcceptNotes, text("True")},
        {text("RasUserName"), Kind::Text, &S::RasUserName, {}},
        {text("RasPassword"), Kind::Password, &S::RasPassword, {}},
        {text("UseRas"), Kind::Flag, &S::UseRas, text("False")},
        {text("RasConnection"), Kind::Text, &S::RasConnection, {}},
        {text("RasTime1"), Kind::Int16, &S::RasTime1, text("23")},
        {text("RasTime2"), Kind::Int16, &S::RasTime2, text("7")},
        {text("RasCheckLimited"), Kind::Int16, &S::RasCheckLimited, text("0")},
        {text("UseCustomTimeserver"), Kind::Flag, &S::UseCustomTimeserver, text("False")},
        {text("CustomTimeserver"), Kind::Text, &S::CustomTimeserver, {}},
        {text("HoursOff"), Kind::Int16, &S::HoursOff, text("0")},
        {text("EndByEnd"), Kind::Flag, &S::EndByEnd, text("False")},
        {text("NbrofAccounts"), Kind::Int16, &S::NbrofAccounts, text("1")},
        {text("EmailPath"), Kind::Text, &S::EmailPath, text("- Path to your emailprogram")},
        {text("CheckTime"), Kind::Text, &S::CheckTime, text("0 (=never)")},
    };
    for (int i = 0; i < MaxMailAccounts; ++i) {
        const QString n = accountSuffix(i);
        const QString spaced = n.isEmpty() ? QString() : u' ' + n;
        f.push_back({u"POPServer" + n, Kind::Text, &S::POPServer, u"- Internetaddress to mailserver" + spaced, i});
        f.push_back({u"UserName" + n, Kind::Text, &S::UserName, u"- Mailserver username" + spaced, i});
        f.push_back({u"PassWord" + n, Kind::Password, &S::PassWord, {}, i});
        // Read, never written with the rest: the check stores it when a server teaches it.
        f.push_back({u"Encryption" + n, Kind::Text, &S::Encryption, {}, i});
    }
    return f;
}

const Field &field(const QString &key)
{
    static const std::vector<Field> fields = makeFields();
    static const QHash<QString, const Field *> byKey = [] {
        QHash<QString, const Field *> map;
        for (const Field &f : fields)
            map.insert(f.key.toLower(), &f);
        return map;
    }();
    return *byKey.value(key.toLower());
}

QStringList keys(std::initializer_list<const char *> names)
{
    QStringList list;
    for (const char *name : names)
        list.append(QString::fromLatin1(name));
    return list;
}

// The account keys, for every account, in the given order of server, user name and password.
QStringList accountKeys(std::initializer_list<const char *> order)
{
    QStringList list;
    for (int i = 0; i < MaxMailAccounts; ++i) {
        for (const char *name : order)
            list.append(QString::fromLatin1(name) + accountSuffix(i));
    }
    return list;
}

const QStringList &readOrder()
{
    static const QStringList order =
        keys({"StartNotes",       "StartClock",        "StartCalc",     "StartEmail",        "CalcFont",
              "CalcSize",         "ClockActive",       "ClockPeriod",   "ClockDateActive",   "ClockTimeServer",
              "NotesAllHidden",   "NotesAllMinimized", "LastGet",       "ClockLastSyncTime", "PlaySound",
              "RunningTime",      "CalcOnTop",         "ShowContainer", "NoteSender",        "totControl",
              "totEmail",         "totNote",           "totContainer",  "totStart",          "totRunningTime",
              "totMissedAlarms",  "AcceptNotes",       "RasUserName",   "RasPassword",       "UseRas",
              "RasConnection",    "RasTime1",          "RasTime2",      "RasCheckLimited",   "UseCustomTimeserver",
              "CustomTimeserver", "HoursOff",          "EndByEnd"}) +
        accountKeys({"POPserver", "UserName", "PassWord", "Encryption"}) +
        keys({"NbrofAccounts", "EmailPath", "CheckTime"});
    return order;
}

const QStringList &writeOrder()
{
    static const QStringList order =
        keys({"StartNotes",       "StartClock",        "StartCalc",   "StartEmail",        "CalcFont",
              "CalcSize",         "ClockActive",       "ClockPeriod", "ClockDateActive",   "ClockTimeServer",
              "NotesAllHidden",   "NotesAllMinimized", "LastGet",     "ClockLastSyncTime", "PlaySound",
              "CalcOnTop",        "ShowContainer",     "NoteSender",  "AcceptNotes",       "UseCustomTimeserver",
              "CustomTimeserver", "HoursOff",          "RasUserName", "RasPassword",       "UseRas",
              "RasConnection",    "RasTime1",          "RasTime2",    "RasCheckLimited"}) +
        accountKeys({"UserName", "PassWord", "POPServer"}) +
        keys({"EmailPath", "CheckTime", "NbrofAccounts", "RunningTime", "cntControlPanel", "cntEmail", "cntNote",
              "cntContainer", "totControl", "totEmail", "totNote", "totContainer", "totStart", "totMissedAlarms",
              "totRunningTime", "EndByEnd"});
    return order;
}

const QStringList &firstStartOrder()
{
    static const QStringList order =
        keys({"StartNotes",       "StartClock",
              "StartCalc",        "StartEmail",
              "CalcFont",         "CalcSize",
              "ClockActive",      "ClockPeriod",
              "ClockDateActive",  "ClockTimeServer",
              "NotesAllHidden",   "NotesAllMinimized",
              "LastGet",          "ClockLastSyncTime",
              "PlaySound",        "RunningTime",
              "CalcOnTop",        "ShowContainer",
              "NbrOfAccounts",    "NoteSender",
              "AcceptNotes",      "UseCustomTimeserver",
              "CustomTimeserver", "HoursOff",
              "RasUserName",      "RasPassword",
              "UseRas",           "RasConnection",
              "RasTime1",         "RasTime2",
              "RasCheckLimited"}) +
        accountKeys({"UserName", "PassWord", "POPServer"}) +
        keys({"EmailPath", "CheckTime", "cntControlPanel", "cntEmail", "cntNote", "cntContainer", "EndByEnd",
              "totControl", "totEmail", "totNote", "totContainer", "totStart", "totMissedAlarms", "totRunningTime"});
    return order;
}

std::optional<qint64> wholeNumber(const QString &raw)
{
    bool ok = false;
    const qint64 n = raw.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// Stores the text in the record; the kind of failure when it cannot be read as the field's type.
std::optional<ErrorKind> assign(S &s, const Field &f, const QString &raw)
{
    switch (f.kind) {
    case Kind::Int16:
    case Kind::Int32: {
        const auto n = wholeNumber(raw);
        if (!n)
            return ErrorKind::TypeMismatch;
        const qint64 limit = f.kind == Kind::Int16 ? 32767 : 2147483647;
        if (*n > limit || *n < -limit - 1)
            return ErrorKind::Overflow;
        s.*std::get<int S::*>(f.member) = int(*n);
        return std::nullopt;
    }
    case Kind::Flag: {
        const QString t = raw.trimmed();
        bool value = false;
        if (t.compare(u"True", Qt::CaseInsensitive) == 0)
            value = true;
        else if (t.compare(u"False", Qt::CaseInsensitive) != 0) {
            const auto n = wholeNumber(t);
            if (!n)
                return ErrorKind::TypeMismatch;
            value = *n != 0;
        }
        s.*std::get<bool S::*>(f.member) = value;
        return std::nullopt;
    }
    case Kind::Date: {
        const auto date = parseDate(raw);
        if (!date)
            return ErrorKind::TypeMismatch;
        s.*std::get<QDate S::*>(f.member) = *date;
        return std::nullopt;
    }
    case Kind::DateTime: {
        const auto dateTime = parseDateTime(raw);
        if (!dateTime)
            return ErrorKind::TypeMismatch;
        s.*std::get<QDateTime S::*>(f.member) = *dateTime;
        return std::nullopt;
    }
    case Kind::Text:
    case Kind::Password: {
        QString value = raw;
        if (f.kind == Kind::Password) {
            const auto decoded = DecodeStoredPassword(raw);
            if (!decoded)
                return ErrorKind::InvalidCall;
            value = *decoded;
        }
        if (const auto *table = std::get_if<std::array<QString, MaxMailAccounts> S::*>(&f.member))
            (s.**table)[size_t(f.account)] = value;
        else
            s.*std::get<QString S::*>(f.member) = value;
        return std::nullopt;
    }
    }
    return ErrorKind::TypeMismatch;
}

std::optional<QString> stored(const S &s, const Field &f)
{
    const auto textOf = [&]() {
        if (const auto *table = std::get_if<std::array<QString, MaxMailAccounts> S::*>(&f.member))
            return (s.**table)[size_t(f.account)];
        return s.*std::get<QString S::*>(f.member);
    };
    switch (f.kind) {
    case Kind::Int16:
    case Kind::Int32:
        return QString::number(s.*std::get<int S::*>(f.member));
    case Kind::Flag:
        return s.*std::get<bool S::*>(f.member) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Date:
        return formatDate(s.*std::get<QDate S::*>(f.member));
    case Kind::DateTime:
        return formatDateTime(s.*std::get<QDateTime S::*>(f.member));
    case Kind::Text:
        return textOf();
    case Kind::Password:
        return EncodeStoredPassword(textOf());
    }
    return std::nullopt;
}

S &record()
{
    static S settings;
    return settings;
}

std::unique_ptr<platform::IniStore> &storeSlot()
{
    static std::unique_ptr<platform::IniStore> store;
    return store;
}

void syncStore(const QString &tag)
{
    if (!SettingsStore().sync())
        LogError(tag, ErrorKind::PathAccess);
}

// Where the desktop runs a keyring the passwords live there, and the settings file holds empty text for them.
// Nothing ever waits for the keyring: a password goes to the file (encoded) first and leaves it once the keyring has
// confirmed it. One call is out at a time, so that a keyring that wants its own password shows one prompt.
struct KeyringJob {
    enum Kind { Read, Write, Remove } kind;
    QString key;
    QString secret;
};

struct KeyringState {
    // The keyring is looked for the first time a password needs it, so that a start without mail accounts opens no
    // connection to the session bus.
    bool probed = false;
    bool inUse = false;
    // The user turned the keyring down this run (a dismissed prompt): the file serves, as without a keyring, until
    // the next start.
    bool refused = false;
    // What each entry holds as far as this process knows. A key is missing while that is not known (never read,
    // or the keyring failed to answer), and then an empty password never overwrites the entry.
    QHash<QString, QString> known;
    // Passwords of accounts in use that the keyring held but has not given yet (locked, slow, not up at login):
    // asked for again before the check that needs them.
    QSet<QString> unread;
    std::deque<KeyringJob> queue;
    std::optional<KeyringJob> current;
    // A check waiting for a password; woken by each answer.
    QEventLoop *waiting = nullptr;
    // Answers meant for an earlier run (before a reset) are dropped.
    quint64 run = 0;
};

KeyringState &keyring()
{
    static KeyringState state;
    return state;
}

// How long a check waits for a password the keyring has not given yet.
int keyringWaitMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TARNIBE_KEYRING_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 10000;
}

void resetKeyring()
{
    static quint64 runs = 0;
    keyring() = KeyringState{};
    keyring().run = ++runs;
}

// The reason is the keyring's own; the password is never part of a log line.
void logKeyringFailure(const QString &key, const QString &reason)
{
    ErrorLog(u"err_Bas_Keyring " + key + u' ' + reason);
}

QString &passwordOf(S &s, const Field &f)
{
    if (const auto *table = std::get_if<std::array<QString, MaxMailAccounts> S::*>(&f.member))
        return (s.**table)[size_t(f.account)];
    return s.*std::get<QString S::*>(f.member);
}

// Only accounts that are filled in (not empty, not the first-start hint) have a password worth asking for.
bool accountInUse(const S &s, const Field &f)
{
    if (!std::holds_alternative<std::array<QString, MaxMailAccounts> S::*>(f.member))
        return !s.RasUserName.isEmpty() || s.UseRas;
    const auto filledIn = [&](const char *name, const QString &value) {
        return !value.isEmpty() && value != field(QString::fromLatin1(name) + accountSuffix(f.account)).firstDefault;
    };
    const auto i = size_t(f.account);
    return filledIn("POPServer", s.POPServer[i]) || filledIn("UserName", s.UserName[i]);
}

bool keyringInUse()
{
    KeyringState &state = keyring();
    if (!state.probed) {
        state.probed = true;
        state.inUse = platform::secretStore().available();
        if (!state.inUse)
            SetTrace(QStringLiteral("No keyring: passwords are kept encoded in the settings file"));
    }
    return state.inUse && !state.refused;
}

void pumpKeyring();

void finishKeyringJob(quint64 run, const KeyringJob &job, const platform::SecretReply &reply)
{
    KeyringState &state = keyring();
    if (state.run != run)
        return;
    state.current.reset();
    if (reply.ok && job.kind == KeyringJob::Read) {
        // A password typed meanwhile is newer than what the keyring held.
        if (state.unread.remove(job.key)) {
            passwordOf(record(), field(job.key)) = reply.text;
            state.known.insert(job.key, reply.text);
        }
    } else if (reply.ok) {
        state.known.insert(job.key, job.secret);
        const std::optional<QString> inFile = SettingsStore().value(Group, job.key);
        if (inFile && !inFile->isEmpty() && inFile == EncodeStoredPassword(job.secret)) {
            SettingsStore().setValue(Group, job.key, QString());
            syncStore(QStringLiteral("err_Bas_Keyring "));
        }
    } else {
        logKeyringFailure(job.key, reply.error);
        // One failure per pass: what is still queued stays where it is, a password in the file or a read that the
        // check asks for again.
        state.queue.clear();
        if (reply.refused) {
            state.refused = true;
            SetTrace(QStringLiteral("The keyring was refused: passwords are kept encoded in the settings file until "
                                    "the next start"));
        }
    }
    if (state.waiting)
        state.waiting->quit();
    pumpKeyring();
}

void pumpKeyring()
{
    KeyringState &state = keyring();
    if (state.current || state.queue.empty())
        return;
    const KeyringJob job = state.queue.front();
    state.queue.pop_front();
    state.current = job;
    const auto done = [run = state.run, job](const platform::SecretReply &reply) { finishKeyringJob(run, job, reply); };
    platform::SecretStore &store = platform::secretStore();
    switch (job.kind) {
    case KeyringJob::Read:
        store.read(job.key, done);
        break;
    case KeyringJob::Write:
        store.write(job.key, job.secret, done);
        break;
    case KeyringJob::Remove:
        store.remove(job.key, done);
        break;
    }
}

bool pending(const KeyringJob &job, KeyringJob::Kind kind, const QString &key)
{
    return job.key == key && (job.kind == KeyringJob::Read) == (kind == KeyringJob::Read);
}

// Calls of one pass are all queued before the first is made, so that the first failure ends the pass.
void queue(const KeyringJob &job)
{
    KeyringState &state = keyring();
    // A newer write of the same entry replaces the one still queued; a read is asked for once.
    for (KeyringJob &queued : state.queue)
        if (pending(queued, job.kind, job.key)) {
            queued = job;
            return;
        }
    if (state.current && job.kind == KeyringJob::Read && pending(*state.current, job.kind, job.key))
        return;
    state.queue.push_back(job);
}

bool readPending(const QString &key)
{
    const KeyringState &state = keyring();
    const auto isRead = [&](const KeyringJob &job) { return pending(job, KeyringJob::Read, key); };
    return (state.current && isRead(*state.current)) || std::any_of(state.queue.begin(), state.queue.end(), isRead);
}

// What the keyring will hold once the calls out and queued have been answered.
std::optional<QString> expected(const QString &key)
{
    const KeyringState &state = keyring();
    for (auto it = state.queue.rbegin(); it != state.queue.rend(); ++it)
        if (it->key == key && it->kind != KeyringJob::Read)
            return it->secret;
    if (state.current && state.current->key == key && state.current->kind != KeyringJob::Read)
        return state.current->secret;
    const auto known = state.known.constFind(key);
    return known == state.known.cend() ? std::nullopt : std::optional<QString>(*known);
}

// At start: a password still in the file (stored before there was a keyring, or when the keyring failed) moves
// into the keyring, and leaves the file once the keyring confirmed it; the others are read from the keyring, and
// arrive when it answers.
void loadPasswordsFromKeyring(const std::vector<Field> &passwordFields)
{
    resetKeyring();
    KeyringState &state = keyring();
    S &s = record();
    const auto inFile = [](const Field &f) {
        return !SettingsStore().value(Group, f.key).value_or(QString()).isEmpty();
    };
    if (std::none_of(passwordFields.begin(), passwordFields.end(),
                     [&](const Field &f) { return inFile(f) || accountInUse(s, f); }))
        return;
    const bool inUse = keyringInUse();
    for (const Field &f : passwordFields) {
        if (inFile(f)) {
            if (inUse)
                queue({KeyringJob::Write, f.key, passwordOf(s, f)});
        } else if (accountInUse(s, f)) {
            // Without a keyring now, perhaps one not up yet: asked for at the check.
            state.unread.insert(f.key);
            if (inUse)
                queue({KeyringJob::Read, f.key, QString()});
        }
    }
    pumpKeyring();
}

// What the settings file gets for a password: empty text once the keyring holds it, else the encoded form. The
// keyring call it needs is added to `calls`, made once the file is written.
std::optional<QString> storePassword(const Field &f, const QString &password, bool mayAsk,
                                     std::vector<KeyringJob> &calls)
{
    KeyringState &state = keyring();
    // One the user typed is known, whatever the keyring holds.
    if (!password.isEmpty())
        state.unread.remove(f.key);
    const std::optional<QString> holds = expected(f.key);
    if (holds ? *holds == password && state.known.value(f.key) == password : password.isEmpty())
        return QString();
    if (!mayAsk || !keyringInUse())
        return password.isEmpty() ? QString() : EncodeStoredPassword(password);
    if (holds != password)
        calls.push_back({password.isEmpty() ? KeyringJob::Remove : KeyringJob::Write, f.key, password});
    // Nothing is lost while the keyring has not confirmed it: the file keeps it.
    return password.isEmpty() ? QString() : EncodeStoredPassword(password);
}

} // namespace

SettingsRecord &Settings()
{
    return record();
}

platform::IniStore &SettingsStore()
{
    auto &store = storeSlot();
    if (!store)
        store = std::make_unique<platform::IniStore>(platform::settingsFile());
    return *store;
}

std::optional<QString> PasswordForCheck(int account, QString *why)
{
    S &s = record();
    const Field &f = field(u"PassWord" + accountSuffix(account));
    KeyringState &state = keyring();
    if (!state.unread.contains(f.key))
        return passwordOf(s, f);
    if (!state.inUse)
        state.probed = false; // it may have come up since the start
    if (!keyringInUse()) {
        *why = state.refused ? QStringLiteral("The keyring was refused its password; type the mail password in "
                                              "Properties, or start again to use the keyring")
                             : QStringLiteral("No keyring is running to give the password");
        return std::nullopt;
    }
    queue({KeyringJob::Read, f.key, QString()});
    pumpKeyring();
    // A short wait, answering input, timers and signals as the wait for a mail server does; a prompt left open
    // keeps the read going, and the password comes for a later check.
    for (QDeadlineTimer deadline(keyringWaitMs()); readPending(f.key) && !deadline.hasExpired();) {
        QEventLoop loop;
        QTimer::singleShot(deadline.remainingTime(), &loop, &QEventLoop::quit);
        QEventLoop *outer = std::exchange(keyring().waiting, &loop);
        const int ended = loop.exec();
        keyring().waiting = outer;
        if (ended != 0)
            break; // the application is on its way out
    }
    if (!keyring().unread.contains(f.key))
        return passwordOf(s, f);
    *why = QStringLiteral("The keyring did not give the password; it is asked for again at the next check");
    return std::nullopt;
}

void ResetSettings()
{
    record() = SettingsRecord{};
    resetKeyring();
    storeSlot().reset();
}

bool IsFirstStart()
{
    return !SettingsStore().value(Group, QStringLiteral("StartNotes")).has_value();
}

void SetGlobalVariables()
{
    static const QString tag = QStringLiteral("err_Bas_SetGlobalVariables ");
    S &s = record();
    for (const QString &key : readOrder()) {
        const QString raw = SettingsStore().value(Group, key).value_or(QString());
        if (const auto failure = assign(s, field(key), raw))
            LogError(tag, *failure, QStringLiteral("EXTRA:On getting registry info"));
    }
    s.totRunningTimeAtStart = s.totRunningTime;
    std::vector<Field> passwordFields;
    for (const QString &key : readOrder())
        if (field(key).kind == Kind::Password)
            passwordFields.push_back(field(key));
    loadPasswordsFromKeyring(passwordFields);

    // The host name stands in for the computer name, cut as the system's buffer would cut it.
    QString name = QSysInfo::machineHostName().left(255);
    if (const qsizetype nul = name.indexOf(QChar(0)); nul >= 0)
        name.truncate(nul);
    s.ComputerName = name;
}

void WriteGlobalVariables(KeyringWait wait)
{
    static const QString tag = QStringLiteral("err_Bas_WriteGlobalVariables ");
    S &s = record();
    if (s.StartMoment.isValid()) {
        const qint64 minutes = minutesBetween(s.StartMoment, platform::Clock::now());
        s.RunningTime = int(std::clamp<qint64>(minutes, -32768, 32767));
        s.totRunningTime = int(std::clamp<qint64>(s.totRunningTimeAtStart + minutes, INT_MIN, INT_MAX));
    }
    std::vector<KeyringJob> calls;
    for (const QString &key : writeOrder()) {
        const Field &f = field(key);
        const auto text = f.kind == Kind::Password
                              ? storePassword(f, passwordOf(s, f), wait == KeyringWait::Allowed, calls)
                              : stored(s, f);
        if (!text) {
            LogError(tag, ErrorKind::InvalidCall);
            continue;
        }
        SettingsStore().setValue(Group, key, *text);
    }
    syncStore(tag);
    for (const KeyringJob &call : calls)
        queue(call);
    pumpKeyring();
}

void WriteToRegistry()
{
    for (const QString &key : firstStartOrder())
        SettingsStore().setValue(Group, key, field(key).firstDefault);
    syncStore(QStringLiteral("err_Bas_WriteToRegistry "));
}

void StartRunningTime()
{
    record().StartMoment = platform::Clock::now();
}
