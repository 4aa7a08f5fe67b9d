// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramHost.h"
#include "core/Settings.h"
#include "platform/Clock.h"
#include "platform/DesktopNotifications.h"
#include "platform/Dialer.h"
#include "platform/IniStore.h"
#include "platform/Launcher.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Secrets.h"
#include "platform/Sound.h"
#include "platform/SystemEvents.h"
#include "platform/Tray.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <map>

// The present time as a test sets it.
class FakeClock : public platform::ClockSource {
public:
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &moment) { m_now = moment; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }
    void advanceMinutes(qint64 minutes) { advanceSeconds(minutes * 60); }

private:
    QDateTime m_now{QDate(2026, 12, 6), QTime(9, 30, 0)};
};

// Answers message boxes in the order the test expects them; any other box fails the test.
class MessageResponder {
public:
    MessageResponder();
    ~MessageResponder();
    void expect(platform::MsgAnswer answer) { m_answers.append(answer); }
    const QList<platform::MessageRequest> &shown() const { return m_shown; }
    int pending() const { return int(m_answers.size()); }

private:
    QList<platform::MsgAnswer> m_answers;
    QList<platform::MessageRequest> m_shown;
};

class FakeTrayHost : public platform::TrayHost {
public:
    struct Icon {
        QIcon icon;
        QString tip;
        platform::TrayOwner *owner = nullptr;
    };
    bool add(platform::TrayOwner *owner, const QIcon &icon, const QString &tip) override;
    bool modify(const void *owner, const QIcon &icon, const QString &tip) override;
    bool remove(const void *owner) override { return m_icons.erase(owner) > 0; }
    bool contains(const void *owner) const override { return m_icons.count(owner) > 0; }
    int count() const override { return int(m_icons.size()); }
    bool available() const override { return m_available; }

    QStringList tips() const;
    QIcon icon(const void *owner) const
    {
        const auto it = m_icons.find(owner);
        return it == m_icons.end() ? QIcon() : it->second.icon;
    }
    // Hands the owner a click, as a click on its icon would.
    void click(const void *owner, platform::TrayClick click);
    bool m_available = true;

private:
    std::map<const void *, Icon> m_icons;
};

// A keyring in memory; by default there is none, as on a desktop without one. Tests of the real keyring use
// platform::installSecretStore(nullptr) instead.
class FakeSecretStore : public platform::SecretStore {
public:
    bool available() override
    {
        ++m_probes;
        return m_available;
    }
    void read(const QString &key, platform::SecretDone done) override;
    void write(const QString &key, const QString &secret, platform::SecretDone done) override;
    void remove(const QString &key, platform::SecretDone done) override;
    // Answers the calls held so far, in order, as the keyring would once it wakes up or its prompt is answered.
    void answerHeld();
    bool m_available = false;
    // True: every call fails, as a locked keyring's would.
    bool m_failing = false;
    // True: every call fails as a dismissed prompt's does.
    bool m_refusing = false;
    // True: calls are not answered until answerHeld(), as a hung keyring or an open prompt would leave them.
    bool m_holding = false;
    QHash<QString, QString> m_entries;
    int m_writes = 0;
    int m_probes = 0;
    // The calls made, oldest first: "read PassWord", "write PassWord2", "remove PassWord3".
    QStringList m_calls;

private:
    void answer(const std::function<platform::SecretReply()> &call, platform::SecretDone done);
    QList<std::pair<std::function<platform::SecretReply()>, platform::SecretDone>> m_held;
};

class FakeSoundPlayer : public platform::SoundPlayer {
public:
    void play(const QString &fileName, bool noStop) override { m_played.append({fileName, noStop}); }
    struct Play {
        QString fileName;
        bool noStop;
    };
    QList<Play> m_played;
};

// A dialer with one entry, "Provider", that records its dials; connected when the test says so.
class FakeDialer : public platform::Dialer {
public:
    bool RasIsConnected() const override { return connected; }
    void RasDial() override { dialled << RasEntryName() + u'|' + RasLoginName + u'|' + RasLoginPassword; }
    void RasHangUp() override
    {
        ++hangUps;
        connected = false;
    }
    int RasEntryCount() const override { return 1; }
    QString RasEntryAt(int) const override { return QStringLiteral("Provider"); }
    bool available() const override { return true; }

    bool connected = false;
    QStringList dialled;
    int hangUps = 0;
};

class FakeLauncher : public platform::Launcher {
public:
    bool openUrl(const QUrl &url, std::function<void()> failedLater) override
    {
        m_urls.append(url);
        if (!m_urlsOpen && failedLater)
            failedLater();
        return true;
    }
    bool startDetached(const QString &commandLine) override
    {
        m_commands.append(commandLine);
        return m_programsStart;
    }
    QList<QUrl> m_urls;
    QStringList m_commands;
    // False: the opener starts but finds nothing to open a document with, as on a system without a browser.
    bool m_urlsOpen = true;
    // False: every program fails to start, as a missing one would.
    bool m_programsStart = true;
};

// A notification server that keeps what it is sent; none is there until the test says so, as on a desktop without
// one. The ids it gives are 1, 2, 3... in the order notifications came.
class FakeDesktopNotifications : public platform::DesktopNotifications {
public:
    bool available() const override { return m_available; }
    void notify(const Notification &notification, QObject *, Shown shown) override
    {
        m_sent.append(notification);
        shown(uint(m_sent.size()));
    }
    void close(uint id) override
    {
        m_closed.append(id);
        Q_EMIT closed(id, 3);
    }
    void setAvailable(bool available)
    {
        m_available = available;
        Q_EMIT availableChanged(available);
    }
    // The user chooses an action of the notification with this id.
    void invoke(uint id, const QString &key) { Q_EMIT actionInvoked(id, key); }
    QList<Notification> m_sent;
    QList<uint> m_closed;

private:
    bool m_available = false;
};

// A key's value as the settings file on disk has it now.
inline QString storedSetting(const QString &key)
{
    return platform::IniStore(platform::settingsFile())
        .value(QStringLiteral("Settings"), key)
        .value_or(QStringLiteral("<missing>"));
}

// Writes values ("key=value") into the settings file, as an earlier run, another program or an older copy left them.
void storeSettings(const QStringList &values);

// Stands in for the control panel where a program is tested alone: the program's own exit unloads it.
class PanelStandIn : public ProgramLifecycle {
public:
    void exitProgram(Program, TrayOwner *, const std::function<void()> &unload) override { unload(); }
    void showControlPanel() override {}
    void openHelp(const QString &) override {}
};

// A control as a user finds it, by its name; the test stops where there is none.
template <class T = QWidget> T *control(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window.objectName()));
    return found;
}
// A click of the left button, on a button's face or on the box or circle of a check box or radio button.
void click(const QWidget &window, const QString &name);

// Gives a test its own XDG folders, a fake clock, tray, sound player and launcher, a message responder, and
// fresh process-wide state. Create one per test function.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString settingsPath() const;
    QString logPath() const;
    QStringList logLines() const;

    FakeClock clock;
    FakeTrayHost tray;
    FakeSoundPlayer sound;
    FakeLauncher launcher;
    FakeSecretStore secrets;
    FakeDesktopNotifications notifications;
    MessageResponder messages;
    // Quiet unless the test emits its signals; tests of the system's own use platform::installSystemEvents(nullptr).
    platform::SystemEvents systemEvents;

private:
    static void resetRecords();
    QTemporaryDir m_dir;
};
