// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"

#include "core/AutodialFlags.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/TrayIcon.h"
#include "platform/Paths.h"
#include "platform/Seams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

void storeSettings(const QStringList &values)
{
    for (const QString &value : values)
        SettingsStore().setValue(QStringLiteral("Settings"), value.section(u'=', 0, 0), value.section(u'=', 1));
    QVERIFY(SettingsStore().sync());
}

void click(const QWidget &window, const QString &name)
{
    QWidget *target = control(window, name);
    const QPoint at = qobject_cast<QPushButton *>(target) ? target->rect().center() : QPoint(6, target->height() / 2);
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
}

MessageResponder::MessageResponder()
{
    platform::setMessageResponder([this](const platform::MessageRequest &request) {
        m_shown.append(request);
        if (m_answers.isEmpty()) {
            QTest::qFail(qPrintable(u"unexpected message box: " + request.title + u": " + request.text), __FILE__,
                         __LINE__);
            return request.defaultAnswer;
        }
        return m_answers.takeFirst();
    });
}

MessageResponder::~MessageResponder()
{
    platform::setMessageResponder({});
}

bool FakeTrayHost::add(platform::TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    m_icons[owner] = Icon{icon, tip, owner};
    return true;
}

bool FakeTrayHost::modify(const void *owner, const QIcon &icon, const QString &tip)
{
    const auto it = m_icons.find(owner);
    if (it == m_icons.end())
        return false;
    it->second.icon = icon;
    it->second.tip = tip;
    return true;
}

QStringList FakeTrayHost::tips() const
{
    QStringList list;
    for (const auto &[owner, icon] : m_icons)
        list.append(icon.tip);
    list.sort();
    return list;
}

void FakeTrayHost::click(const void *owner, platform::TrayClick click)
{
    const auto it = m_icons.find(owner);
    if (it != m_icons.end())
        it->second.owner->trayActivated(click);
}

void FakeSecretStore::answer(const std::function<platform::SecretReply()> &call, platform::SecretDone done)
{
    // A locked keyring or a dismissed prompt fails whatever was asked; the rest is asked when it is answered.
    auto reply = [this, call] {
        if (!m_failing && !m_refusing)
            return call();
        platform::SecretReply failure;
        failure.error =
            m_refusing ? QStringLiteral("The prompt was dismissed") : QStringLiteral("The keyring is locked");
        failure.refused = m_refusing;
        return failure;
    };
    if (m_holding)
        m_held.append({reply, std::move(done)});
    else
        done(reply());
}

void FakeSecretStore::answerHeld()
{
    m_holding = false;
    while (!m_held.isEmpty()) {
        auto [call, done] = m_held.takeFirst();
        done(call());
    }
}

void FakeSecretStore::read(const QString &key, platform::SecretDone done)
{
    m_calls << u"read " + key;
    answer([this, key] { return platform::SecretReply{true, m_entries.value(key), {}, false}; }, std::move(done));
}

void FakeSecretStore::write(const QString &key, const QString &secret, platform::SecretDone done)
{
    ++m_writes;
    m_calls << u"write " + key;
    answer(
        [this, key, secret] {
            m_entries.insert(key, secret);
            return platform::SecretReply{true, {}, {}, false};
        },
        std::move(done));
}

void FakeSecretStore::remove(const QString &key, platform::SecretDone done)
{
    m_calls << u"remove " + key;
    answer(
        [this, key] {
            m_entries.remove(key);
            return platform::SecretReply{true, {}, {}, false};
        },
        std::move(done));
}

TestEnvironment::TestEnvironment()
{
    for (const auto &[variable, name] : {std::pair{"XDG_CONFIG_HOME", "config"},
                                         {"XDG_DATA_HOME", "data"},
                                         {"XDG_RUNTIME_DIR", "runtime"},
                                         {"XDG_CACHE_HOME", "cache"}}) {
        const QString folder = m_dir.filePath(QString::fromLatin1(name));
        QDir().mkpath(folder);
        qputenv(variable, QFile::encodeName(folder));
    }
    QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Any free port: tests run side by side, and none may take the real port 1001.
    qputenv("TARNIBE_NOTE_PORT", "0");

    platform::Clock::install(&clock);
    platform::installTrayHost(&tray);
    platform::installSoundPlayer(&sound);
    platform::installLauncher(&launcher);
    platform::installSecretStore(&secrets);
    platform::installSystemEvents(&systemEvents);
    platform::installDesktopNotifications(&notifications);
    ResetSettings();
    ProgramRunFlags() = ProgramRunFlagsRecord{};
    AutodialFlags() = AutodialFlagsRecord{};
    resetRecords();
}

void TestEnvironment::resetRecords()
{
    ResetProcessRecords();
    // The windows of the notes a reset let go of.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TestEnvironment::~TestEnvironment()
{
    if (messages.pending() > 0)
        QTest::qFail("an expected message box was never shown", __FILE__, __LINE__);
    resetRecords();
    ResetSettings();
    // Every stand-in for the system goes at once: clock, tray, sound, launcher, keyring, message boxes.
    platform::seams() = platform::Seams{};
}

QString TestEnvironment::settingsPath() const
{
    return platform::settingsFile();
}

QString TestEnvironment::logPath() const
{
    return platform::dataFile(QStringLiteral("error.log"));
}

QStringList TestEnvironment::logLines() const
{
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}
