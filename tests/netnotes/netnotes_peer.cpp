// SPDX-License-Identifier: GPL-3.0-or-later
// A whole Tarnibe suite, started as the real program starts it, that a test drives through stdin:
//   send N ROW   note N's Send command, then a click on row ROW of the send dialog
//   rows         prints "ROW i title|text" for each row of the notes container
// Every message box is answered with its default and printed as "BOX title|text".
#include "app/AppProgramHost.h"
#include "core/form_Tarnibe.h"
#include "netnotes/NetNotes.h"
#include "netnotes/form_SendTo.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QListWidget>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

namespace {
void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnibe"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::setMessageResponder([](const platform::MessageRequest &box) {
        say(QStringLiteral("BOX ") + box.title + u'|' + box.text);
        return box.defaultAnswer;
    });

    AppProgramHost host;
    form_Tarnibe panel(host);
    host.attach(panel);
    panel.Form_Load();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t length = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (length <= 0) {
            input.setEnabled(false);
            return;
        }
        const QStringList words = QString::fromUtf8(buffer, length).simplified().split(u' ');
        if (words.value(0) == u"send") {
            ShowNote(words.value(1).toInt())->menu_Send_Click();
            form_SendTo *dialog = host.netNotes()->sendDialog();
            dialog->list_NetUsers->setCurrentRow(words.value(2).toInt());
            dialog->list_NetUsers_Click();
        } else if (words.value(0) == u"rows") {
            for (int i = 1; i <= NoteStore().count(); ++i)
                say(QStringLiteral("ROW %1 ").arg(i) + NoteStore().record(i)->title + u'|' +
                    host.container()->rowText(i));
            say(QStringLiteral("END ROWS"));
        }
    });
    say(QStringLiteral("READY"));
    host.mainLoopStarting(); // as the real program does
    return app.exec();
}
