// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "core/GhostOwner.h"
#include "core/Twips.h"
#include "core/form_Tarnibe.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace NoteSamples;
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

} // namespace

class tst_GhostNotes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { resetNotes(); }

    void theMenuActsOnEveryNote()
    {
        TestEnvironment env;
        QVERIFY(writeFile(NotesFilePath(), encodeNotes(numbered(2))));
        Suite suite(env.tray);
        QVERIFY(env.tray.tips().contains(u"New note"_s));

        const std::pair<const char *, const char *> steps[] = {{"menu_HideAll", "hidden 2400x1800"},
                                                               {"menu_ShowAllNotes", "shown 2400x1800"},
                                                               {"menu_MinimizeNotes", "shown 650x370"},
                                                               {"menu_MaximizeNotes", "shown 2400x1800"}};
        for (const auto &[item, look] : steps) {
            suite.trigger(item);
            QCOMPARE(windowLooks(), QStringList(2, QString::fromLatin1(look)));
        }

        // Deleting them all leaves the generation before in the backup.
        env.messages.expect(MsgAnswer::Yes);
        suite.trigger("menu_EraseAll");
        processDeletions();
        QCOMPARE(windowLooks(), QStringList());
        QCOMPARE(suite.container()->rowCount(), 0);
        QCOMPARE(QFileInfo(NotesFilePath()).size(), 0);
        QCOMPARE(notesIn(NotesBackupPath()).size(), 2);
    }

    void aDoubleClickOnTheIconMakesNoNoteAndSortingNoneOnlyCollapses()
    {
        TestEnvironment env;
        Suite suite(env.tray);

        suite.trigger("menu_SortNotes");
        QCOMPARE(storedSetting(u"NotesAllMinimized"_s), u"True"_s);
        QVERIFY(suite.container()->findChild<QToolButton *>(u"image_Maximize"_s)->isVisibleTo(suite.container()));

        // Only the left button's release makes a note.
        suite.click(platform::LeftDoubleClick);
        QCOMPARE(NoteStore().count(), 0);
    }

    void hidingTheContainerAsksAboutTheNextStart()
    {
        TestEnvironment env;
        Suite suite(env.tray);
        QAction *item = suite.owner()->findChild<QAction *>(u"menu_HideContainer"_s);
        const auto state = [&] {
            return u"%1, %2, ShowContainer=%3"_s.arg(item->isChecked() ? u"checked"_s : u"unchecked"_s,
                                                     suite.container()->isVisible() ? u"shown"_s : u"hidden"_s,
                                                     storedSetting(u"ShowContainer"_s));
        };
        QVERIFY(item->isCheckable() && state().startsWith(u"unchecked, shown"_s));

        // No: hidden for now, shown again at the next start. Showing it asks nothing.
        const std::pair<std::optional<MsgAnswer>, const char16_t *> steps[] = {
            {MsgAnswer::No, u"checked, hidden, ShowContainer=True"},
            {{}, u"unchecked, shown, ShowContainer=True"},
            {MsgAnswer::Yes, u"checked, hidden, ShowContainer=False"},
            {{}, u"unchecked, shown, ShowContainer=True"}};
        for (const auto &[answer, expected] : steps) {
            if (answer)
                env.messages.expect(*answer);
            item->trigger();
            QCOMPARE(state(), QString::fromUtf16(expected));
        }
        // A hurried Enter keeps the container for the next start.
        QCOMPARE(env.messages.shown().value(0).defaultAnswer, MsgAnswer::No);
    }

    void sortingLaysNotesOutInColumns()
    {
        TestEnvironment env;
        const QList<int> hidden{5, 31, 34}; // 31 falls on a column break, 34 is the last
        QList<NoteRecord> notes = numbered(34);
        for (int i : hidden)
            notes[i - 1].visible = false;
        QVERIFY(writeFile(NotesFilePath(), encodeNotes(notes)));
        Suite suite(env.tray);

        suite.trigger("menu_SortNotes");

        const QRect screen = screenTwips();
        const int firstTop = int(std::lround(screen.height() * 0.03));
        const int firstLeft = int(std::lround(screen.width() * 0.7));
        // A column ends when the next top would leave less than a tenth of the screen below it.
        int rows = 1;
        while (firstTop + 370 * rows + screen.height() * 0.1 <= screen.height())
            ++rows;
        QVERIFY2(34 - hidden.size() > rows, "the notes must fill more than one column");
        // Hidden notes share the place of the visible note after them.
        int visibleBefore = 0;
        for (int i = 1; i <= 34; ++i) {
            const form_Note *window = NoteStore().window(i);
            QCOMPARE(geometry(*NoteStore().record(i)), QRect(firstLeft + 650 * (visibleBefore / rows),
                                                             firstTop + 370 * (visibleBefore % rows), 650, 370));
            QCOMPARE(window && window->isVisible(), !hidden.contains(i));
            if (window)
                QCOMPARE(window->pos(), QPoint(toPixels(geometry(*NoteStore().record(i)).left()),
                                               toPixels(geometry(*NoteStore().record(i)).top())));
            visibleBefore += window ? 1 : 0;
        }
    }
};

QTEST_MAIN(tst_GhostNotes)
#include "tst_GhostNotes.moc"
