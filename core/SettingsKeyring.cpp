// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/SettingsKeyring.h"

#include "core/ErrorLog.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "core/SettingsCodec.h"
#include "core/SettingsState.h"
#include "core/Trace.h"
#include "platform/IniStore.h"
#include "platform/Secrets.h"

#include <QHash>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <deque>

namespace {

KeyringState &keyring()
{
    return settingsState().keyring;
}

// Answers still owed to calls made before are told apart by the run they were made in, and dropped.
void resetKeyring()
{
    const quint64 next = keyring().run + 1;
    const quint64 lastWait = keyring().lastWait;
    std::vector<PasswordWait> waits = std::move(keyring().waits);
    std::erase_if(waits, [](const PasswordWait &wait) { return !wait.context; });
    keyring() = KeyringState{};
    keyring().run = next;
    keyring().waits = std::move(waits);
    keyring().lastWait = lastWait;
}

// How long a check waits for a password the keyring has not given yet.
int keyringWaitMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TARNIBE_KEYRING_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 10000;
}

// The reason is the keyring's own; the password is never part of a log line.
void logKeyringFailure(const QString &key, const QString &reason)
{
    logError(u"err_Bas_Keyring " + key + u' ' + reason);
}

// Only accounts that are filled in (not empty, not the first-start hint) have a password worth asking for.
bool accountInUse(const SettingsRecord &s, const SettingField &f)
{
    if (!f.isAccountField())
        return !s.RasUserName.isEmpty() || s.UseRas;
    const auto filledIn = [&](const char *name, const QString &value) {
        return !value.isEmpty() && value != settingField(accountKey(name, f.account))->firstDefault;
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
void endWaits(bool timedOut, quint64 id = 0);

void finishKeyringJob(quint64 run, const KeyringJob &job, const platform::SecretReply &reply)
{
    KeyringState &state = keyring();
    if (state.run != run)
        return;
    state.current.reset();
    if (reply.ok && job.kind == KeyringJob::Read) {
        // A password typed meanwhile is newer than what the keyring held.
        if (state.unread.remove(job.key)) {
            textMember(Settings(), *settingField(job.key)) = reply.text;
            state.known.insert(job.key, reply.text);
        }
    } else if (reply.ok) {
        state.known.insert(job.key, job.secret);
        const std::optional<QString> inFile = SettingsStore().value(SettingsGroup, job.key);
        if (inFile && !inFile->isEmpty() && inFile == EncodeStoredPassword(job.secret)) {
            SettingsStore().setValue(SettingsGroup, job.key, QString());
            if (!SettingsStore().sync())
                logError(QStringLiteral("err_Bas_Keyring "), platform::ErrorKind::PathAccess);
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
    pumpKeyring();
    endWaits(false);
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
void loadPasswordsFromKeyring()
{
    resetKeyring();
    std::vector<SettingField> passwordFields;
    for (const QString &key : settingKeys(SettingsOrder::Read))
        if (const SettingField *f = settingField(key); f->kind == SettingKind::Password)
            passwordFields.push_back(*f);
    KeyringState &state = keyring();
    SettingsRecord &s = Settings();
    const auto inFile = [](const SettingField &f) {
        return !SettingsStore().value(SettingsGroup, f.key).value_or(QString()).isEmpty();
    };
    if (std::none_of(passwordFields.begin(), passwordFields.end(),
                     [&](const SettingField &f) { return inFile(f) || accountInUse(s, f); }))
        return;
    const bool inUse = keyringInUse();
    for (const SettingField &f : passwordFields) {
        if (inFile(f)) {
            if (inUse)
                queue({KeyringJob::Write, f.key, textMember(s, f)});
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
// keyring call it needs waits until the file is written.
std::optional<QString> storePassword(const SettingField &f, const QString &password, bool mayAsk)
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
        state.staged.push_back({password.isEmpty() ? KeyringJob::Remove : KeyringJob::Write, f.key, password});
    // Nothing is lost while the keyring has not confirmed it: the file keeps it.
    return password.isEmpty() ? QString() : EncodeStoredPassword(password);
}

QString refusedText()
{
    return QStringLiteral("The keyring was refused its password; type the mail password in Properties, or start again "
                          "to use the keyring");
}

// The answer to a check once its wait is over: the password the keyring gave, or why there is none.
void answerWait(const PasswordWait &wait)
{
    if (!wait.context)
        return;
    if (!keyring().unread.contains(wait.key)) {
        wait.answer(textMember(Settings(), *settingField(wait.key)), QString());
        return;
    }
    // Turned down while the check waited (the unlock prompt of this read or of one before it). A prompt left open
    // keeps the read going, and the password comes for a later check.
    wait.answer(std::nullopt,
                keyring().refused
                    ? refusedText()
                    : QStringLiteral("The keyring did not give the password; it is asked for again at the next check"));
}

// Ends the waits whose read has been answered, or the wait `id` whose time is up. Each answer comes from the event
// loop, once the keyring's state is settled, and is dropped with its context.
void endWaits(bool timedOut, quint64 id)
{
    std::vector<PasswordWait> &waits = keyring().waits;
    std::vector<PasswordWait> over;
    for (auto it = waits.begin(); it != waits.end();) {
        if (timedOut ? it->id == id : !readPending(it->key)) {
            over.push_back(std::move(*it));
            it = waits.erase(it);
        } else {
            ++it;
        }
    }
    for (PasswordWait &wait : over)
        if (QObject *context = wait.context)
            QMetaObject::invokeMethod(
                context, [wait = std::move(wait)] { answerWait(wait); }, Qt::QueuedConnection);
}

} // namespace

void ResetKeyring()
{
    resetKeyring();
}

void LoadPasswordsFromKeyring()
{
    loadPasswordsFromKeyring();
}

std::optional<QString> PasswordForFile(const SettingField &field, const QString &password, KeyringWait wait)
{
    return storePassword(field, password, wait == KeyringWait::Allowed);
}

void SendKeyringCalls()
{
    for (const KeyringJob &call : std::exchange(keyring().staged, {}))
        queue(call);
    pumpKeyring();
}

void passwordForCheck(int account, QObject *context, PasswordAnswer answer)
{
    SettingsRecord &s = Settings();
    const SettingField &f = *settingField(accountKey("PassWord", account));
    KeyringState &state = keyring();
    if (!state.unread.contains(f.key)) {
        answer(textMember(s, f), QString());
        return;
    }
    if (!state.inUse)
        state.probed = false; // it may have come up since the start
    if (!keyringInUse()) {
        answer(std::nullopt,
               state.refused ? refusedText() : QStringLiteral("No keyring is running to give the password"));
        return;
    }
    queue({KeyringJob::Read, f.key, QString()});
    pumpKeyring();
    // A short wait, while input, timers and signals go on as they do while a mail server is waited for.
    const quint64 id = ++keyring().lastWait;
    keyring().waits.push_back({id, f.key, context, std::move(answer)});
    QTimer::singleShot(keyringWaitMs(), context, [id] { endWaits(true, id); });
    // A read the keyring answered at once.
    endWaits(false);
}
