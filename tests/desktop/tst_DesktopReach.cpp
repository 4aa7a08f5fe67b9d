// SPDX-License-Identifier: GPL-3.0-or-later
// What the user asked for reaches them, once: the keyring's prompt stays away after a no, windows opened from the
// tray take the keyboard, one double click is one request, the end comes at once, and boxes open over their window.
#include "Desktop.h"
#include "core/Password.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The suite's icons in the order they are made.
enum Icon { NotesIcon, CalculatorIcon, ClockIcon, MailIcon };

class tst_DesktopReach : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // GNOME Keyring with no login keyring asks for a password for a new one the first time the suite stores a
    // password. Escape on that prompt is a no for the rest of the run: the settings written afterwards (each new
    // note writes its counters) bring no prompt back, and the password stays, encoded, in the settings file.
    void aDismissedKeyringPromptStaysAway()
    {
        if (QStandardPaths::findExecutable(u"gnome-keyring-daemon"_s).isEmpty() ||
            !QFile::exists(u"/usr/libexec/gcr-prompter"_s))
            QSKIP("needs GNOME Keyring and its prompter (scripts/install-deps.sh test)");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.startHelper(u"gnome-keyring-daemon"_s, {u"--foreground"_s, u"--components=secrets"_s});
        // The desktop's bus starts nothing on demand; the prompter ends itself when idle and comes back here.
        desktop.startHelper(u"sh"_s, {u"-c"_s, u"while :; do /usr/libexec/gcr-prompter; sleep 0.2; done"_s});
        const QStringList hasOwner = u"--session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                                     u"org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets"_s.split(u' ');
        QVERIFY2(Desktop::waitFor([&] { return desktop.run(u"dbus-send"_s, hasOwner).contains(u"true"_s); }, 10000),
                 "the keyring did not come up");
        // Ann's password is in the file, to be moved into the keyring at the start. No server answers: the check
        // fails quietly.
        desktop.writeMailAccount(9, u"secret"_s, u"60"_s, true);
        desktop.startSuite();
        const QList<QRect> icons = desktop.waitTrayIcons(4);
        QCOMPARE(icons.size(), 4);

        const auto prompt = [&](int timeoutMs) {
            QList<qulonglong> shown;
            Desktop::waitFor(
                [&] {
                    return !(shown = desktop.search({u"--class"_s, u"gcr-prompter"_s})).isEmpty();
                },
                timeoutMs);
            return shown.isEmpty() ? 0 : shown.last();
        };
        const qulonglong first = prompt(15000);
        QVERIFY2(first, "the keyring asked for no password for a new keyring");
        desktop.xdotool({u"windowactivate"_s, u"--sync"_s, QString::number(first)});
        desktop.key(u"Escape"_s);
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(first); }, 5000), "Escape left the prompt up");

        const QList<qulonglong> notesBefore = desktop.search({u"--name"_s, u"^Note$"_s});
        for (int round = 0; round < 3; ++round) {
            desktop.click(icons[NotesIcon].center());
            QVERIFY2(Desktop::waitFor(
                         [&] {
                             return desktop.search({u"--name"_s, u"^Note$"_s}).size() == notesBefore.size() + round + 1;
                         },
                         5000),
                     "the notes icon made no note");
            const qulonglong again = prompt(3000);
            QVERIFY2(!again, qPrintable(u"the prompt came back after new note "_s + QString::number(round + 1)));
        }
        QCOMPARE(desktop.readSetting(u"PassWord"_s), EncodeStoredPassword(u"secret"_s).value_or(u"?"_s));
        QVERIFY(QString::fromUtf8(desktop.readData(u"error.log"_s)).contains(u"err_Bas_Keyring PassWord"_s));
        QVERIFY(desktop.terminate() >= 0);
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopReach)
#include "tst_DesktopReach.moc"
