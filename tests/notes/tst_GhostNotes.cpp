#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "core/GhostOwner.h"
#include "core/Settings.h"
#include "core/Twips.h"
#include "core/form_Tarnibe.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/IniStore.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <cmath>

using namespace Qt::StringLiterals;
using platform::MsgAnswer;

namespace {

// The real programs, except that ending the process is only noted.
class Host : public AppProgramHost {
public:
    int ended = 0;
    void endProcess() override { ++ended; }
};

// The suite as started by a new user, whose notes file (if any) is already in place.
struct Suite {
    explicit Suite(FakeTrayHost &tray) : tray(tray)
    {
        host.attach(panel);
        panel.Form_Load();
    }
    GhostOwner *owner() const { return host.owner(Program::Notes); }
    form_Main *container() const { return host.container(); }
    void trigger(const char *item) const { owner()->findChild<QAction *>(QString::fromLatin1(item))->trigger(); }
    void click(int message) const { tray.click(static_cast<TrayOwner *>(owner()), message); }

    FakeTrayHost &tray;
    Host host;
    form_Tarnibe panel{host};
};

QStringList captions(const QMenu *menu)
{
    QStringList list;
    for (const QAction *action : menu->actions())
        list << (action->isSeparator() ? u"-"_s : action->text());
    return list;
}

QString storedSetting(const QString &key)
{
    return SettingsStore().value(u"Settings"_s, key).value_or(u"<missing>"_s);
}

QList<NoteRecord> notesInFile()
{
    QFile file(NotesFilePath());
    return file.open(QIODevice::ReadOnly) ? decodeNotes(file.readAll()).notes : QList<NoteRecord>();
}

void writeNotes(const QList<NoteRecord> &notes)
{
    QFile file(NotesFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encodeNotes(notes));
}

NoteRecord stored(const QString &text, bool visible = true)
{
    NoteRecord note;
    note.text = text;
    note.left = 600;
    note.top = 600;
    note.width = 2400;
    note.height = 1800;
    note.oldWidth = 2400;
    note.oldHeight = 1800;
    note.visible = visible;
    return note;
}

} // namespace

class tst_GhostNotes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        NoteStore().clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void theMenuActsOnEveryNote()
    {
        TestEnvironment env;
        writeNotes({stored(u"one"_s), stored(u"two"_s)});
        Suite suite(env.tray);
        const auto everyNote = [](auto test) {
            for (int i = 1; i <= NoteStore().count(); ++i) {
                if (!test(NoteStore().note(i)))
                    return false;
            }
            return NoteStore().count() == 2;
        };

        QCOMPARE(captions(suite.owner()->popupMenu()),
                 (QStringList{u"&Help"_s, u"H&ide all notes"_s, u"Sh&ow all notes"_s, u"&Delete all notes"_s, u"-"_s,
                              u"&Minimize all"_s, u"Ma&ximize all"_s, u"-"_s, u"Hide the &container"_s,
                              u"&Sort and minimize all"_s, u"&Tarnibe properties..."_s, u"-"_s, u"&Exit notes"_s}));
        QVERIFY(env.tray.tips().contains(u"New note"_s));

        suite.trigger("menu_HideAll");
        QVERIFY(everyNote([](form_Note *note) { return !note->isVisible(); }));
        suite.trigger("menu_ShowAllNotes");
        QVERIFY(everyNote([](form_Note *note) { return note->isVisible(); }));
        suite.trigger("menu_MinimizeNotes");
        QVERIFY(everyNote([](form_Note *note) { return isCollapsed(note->record()); }));
        suite.trigger("menu_MaximizeNotes");
        QVERIFY(everyNote([](form_Note *note) { return note->record().width == 2400; }));
        QVERIFY(env.messages.shown().isEmpty());
    }

    void aLeftClickOnTheIconCreatesANote()
    {
        TestEnvironment env;
        Suite suite(env.tray);
        QCOMPARE(NoteStore().count(), 0);

        suite.click(platform::LeftButtonUp);

        QCOMPARE(NoteStore().count(), 1);
        QVERIFY(NoteStore().note(1)->isVisible());
        QCOMPARE(suite.container()->rowCount(), 1);
        QCOMPARE(notesInFile().size(), 1);
        QCOMPARE(env.sound.m_played.size(), 1);
        QCOMPARE(env.sound.m_played.constFirst().fileName, u"new.wav"_s);

        // Other messages create nothing; the right button opens the menu.
        suite.click(platform::LeftDoubleClick);
        suite.click(platform::RightButtonUp);
        QTRY_VERIFY(suite.owner()->popupMenu()->isVisible());
        suite.owner()->popupMenu()->hide();
        QCOMPARE(NoteStore().count(), 1);
    }

    void deletingAllNotesAsksFirst()
    {
        TestEnvironment env;
        writeNotes({stored(u"one"_s), stored(u"two"_s), stored(u"three"_s)});
        Suite suite(env.tray);
        QCOMPARE(NoteStore().count(), 3);

        env.messages.expect(MsgAnswer::No);
        suite.trigger("menu_EraseAll");

        QCOMPARE(env.messages.shown().size(), 1);
        const platform::MessageRequest &box = env.messages.shown().constFirst();
        QCOMPARE(box.title, u"Delete all"_s);
        QCOMPARE(box.text, u"Are you sure you want to delete all the notes?\n\rYou can not undo this command."_s);
        QCOMPARE(box.icon, platform::MsgIcon::Exclamation);
        QCOMPARE(box.buttons, platform::MsgButtons::YesNo);
        QCOMPARE(NoteStore().count(), 3);
        QCOMPARE(suite.container()->rowCount(), 3);

        env.messages.expect(MsgAnswer::Yes);
        suite.trigger("menu_EraseAll");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(env.messages.shown().size(), 2);
        QCOMPARE(NoteStore().count(), 0);
        QCOMPARE(suite.container()->rowCount(), 0);
        QCOMPARE(QFileInfo(NotesFilePath()).size(), 0);
    }

    void hidingTheContainerAsksAboutTheNextStart()
    {
        TestEnvironment env;
        Suite suite(env.tray);
        QAction *item = suite.owner()->findChild<QAction *>(u"menu_HideContainer"_s);
        QVERIFY(item->isCheckable());
        QVERIFY(!item->isChecked());
        QVERIFY(suite.container()->isVisible());

        // No: hidden for now, shown again at the next start.
        env.messages.expect(MsgAnswer::No);
        item->trigger();
        QCOMPARE(env.messages.shown().size(), 1);
        const platform::MessageRequest &box = env.messages.shown().constFirst();
        QCOMPARE(box.title, u"Hide container"_s);
        QCOMPARE(box.text, u"Do you want the container to be hidden the next time you start Tarnibe ?"_s);
        QCOMPARE(box.icon, platform::MsgIcon::Question);
        QCOMPARE(box.buttons, platform::MsgButtons::YesNo);
        QCOMPARE(box.defaultAnswer, MsgAnswer::No);
        QVERIFY(item->isChecked());
        QVERIFY(!suite.container()->isVisible());
        QVERIFY(Settings().ShowContainer);
        QCOMPARE(storedSetting(u"ShowContainer"_s), u"True"_s);

        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(suite.container()->isVisible());
        QVERIFY(Settings().ShowContainer);

        env.messages.expect(MsgAnswer::Yes);
        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(!suite.container()->isVisible());
        QVERIFY(!Settings().ShowContainer);
        QCOMPARE(storedSetting(u"ShowContainer"_s), u"False"_s);

        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(suite.container()->isVisible());
        QVERIFY(Settings().ShowContainer);
        QCOMPARE(storedSetting(u"ShowContainer"_s), u"True"_s);
        QCOMPARE(env.messages.shown().size(), 2);
    }

    void sortingWithoutNotesOnlyCollapses()
    {
        TestEnvironment env;
        Suite suite(env.tray);

        suite.trigger("menu_SortNotes");

        QCOMPARE(NoteStore().count(), 0);
        QVERIFY(Settings().NotesAllMinimized);
        QCOMPARE(storedSetting(u"NotesAllMinimized"_s), u"True"_s);
        QVERIFY(suite.container()->findChild<QToolButton *>(u"image_Maximize"_s)->isVisibleTo(suite.container()));
        QVERIFY(env.messages.shown().isEmpty());
    }

    void sortingLaysNotesOutInColumns()
    {
        TestEnvironment env;
        const QList<int> hidden{5, 31, 34}; // 31 falls on a column break, 34 is the last
        QList<NoteRecord> notes;
        for (int i = 1; i <= 34; ++i)
            notes << stored(u"note "_s + QString::number(i), !hidden.contains(i));
        writeNotes(notes);
        Suite suite(env.tray);
        QCOMPARE(NoteStore().count(), 34);

        suite.trigger("menu_SortNotes");

        const QRect screen = screenTwips();
        const int firstTop = int(std::lround(screen.height() * 0.03));
        const int firstLeft = int(std::lround(screen.width() * 0.7));
        // Rows per column: a column ends when the next top would leave less than a tenth of the screen below it.
        int rows = 1;
        while (firstTop + 370 * rows + screen.height() * 0.1 <= screen.height())
            ++rows;
        QVERIFY2(34 - hidden.size() > rows, "the notes must fill more than one column");

        int visibleBefore = 0;
        for (int i = 1; i <= 34; ++i) {
            const NoteRecord &note = NoteStore().note(i)->record();
            const int column = visibleBefore / rows;
            const int row = visibleBefore % rows;
            QCOMPARE(note.left, firstLeft + 650 * column);
            QCOMPARE(note.top, firstTop + 370 * row);
            QVERIFY(isCollapsed(note));
            QCOMPARE(NoteStore().note(i)->isVisible(), !hidden.contains(i));
            if (!hidden.contains(i))
                ++visibleBefore;
        }
        // The hidden notes share the place of the visible note after them.
        QCOMPARE(NoteStore().note(5)->record().top, NoteStore().note(6)->record().top);
        QCOMPARE(NoteStore().note(31)->record().left, NoteStore().note(32)->record().left);
        QCOMPARE(NoteStore().note(31)->record().top, firstTop);
        QVERIFY(Settings().NotesAllMinimized);
    }
};

QTEST_MAIN(tst_GhostNotes)
#include "tst_GhostNotes.moc"
