// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "alarms/Alarms.h"
#include "alarms/form_Calendar.h"
#include "alarms/form_MissedAlarms.h"
#include "alarms/form_Notify.h"
#include "app/AppProgramHost.h"
#include "calculator/form_Calculator.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "mail/form_Browse.h"
#include "mail/form_Checking.h"
#include "mail/form_NotifyMail.h"
#include "mail/form_Properties.h"
#include "mail/form_RASstatus.h"
#include "netnotes/HostPicker.h"
#include "netnotes/NetNotes.h"
#include "netnotes/form_NetUsers.h"
#include "netnotes/form_SendTo.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/IniStore.h"

#include <QTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

class Host : public AppProgramHost {
public:
    void endProcess() override {}
};

// Where a widget's pixels can show: its own rectangle less whatever its parents cut off, in its own coordinates.
// Inside a scroll area the content scrolls into view, so the cut stops at the viewport.
QRect visibleRect(const QWidget *widget)
{
    QRect visible = widget->rect();
    for (const QWidget *w = widget; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        const QWidget *parent = w->parentWidget();
        const auto *area = qobject_cast<const QAbstractScrollArea *>(parent->parentWidget());
        if (area && area->viewport() == parent)
            break;
        visible &= QRect(widget->mapFrom(parent, QPoint(0, 0)), parent->size());
    }
    return visible;
}

// Blanks after the last character take no room on the screen when the text starts at the left.
QString shownText(const QString &text, Qt::Alignment align)
{
    const bool left = (align & (Qt::AlignLeft | Qt::AlignLeading)) || !(align & Qt::AlignHorizontal_Mask);
    return left ? QString(text).remove(QRegularExpression(u"\\s+$"_s)) : text;
}

QString px(QSize size)
{
    return u"%1x%2"_s.arg(size.width()).arg(size.height());
}

// The style option a control paints itself with: its own protected initStyleOption, reached through a member
// pointer taken in a class derived from it.
template <class Option, class Widget> Option styleOption(const Widget *widget)
{
    struct Open : Widget {
        static void init(const Widget *w, Option *option) { (w->*&Open::initStyleOption)(option); }
    };
    Option option;
    Open::init(widget, &option);
    return option;
}

} // namespace

// Opens every window of the suite on a desktop with a window manager (ctest runs it under with_desktop.sh) and
// checks that the fonts the desktop has fit every caption, item and column heading.
class tst_DesktopFit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<Host> host;
    std::unique_ptr<form_Tarnibe> panel;
    // Every caption the fonts do not fit: cut off by the control's own edge or by a parent's, or elided.
    QStringList offenders;
    QString m_window;

    // Lets the window manager map and place the window and the layouts settle, then walks it.
    void walk(QWidget *window, const QString &name = {}, int settleMs = 50)
    {
        QVERIFY2(QTest::qWaitForWindowExposed(window), qPrintable(window->objectName()));
        QTest::qWait(settleMs);
        m_window = name.isEmpty() ? window->objectName() : name;
        check(window);
        // A child that is a window of its own (an open dialog) is checked as a window.
        for (QWidget *child : window->findChildren<QWidget *>())
            if (child->isVisible() && child->window() == window)
                check(child);
    }

    void check(QWidget *widget)
    {
        if (auto *label = qobject_cast<QLabel *>(widget))
            checkLabel(label);
        else if (auto *push = qobject_cast<QPushButton *>(widget))
            checkButton(push, QStyle::SE_PushButtonContents, Qt::AlignCenter);
        else if (auto *box = qobject_cast<QCheckBox *>(widget))
            checkButton(box, QStyle::SE_CheckBoxContents, Qt::AlignLeft | Qt::AlignVCenter);
        else if (auto *radio = qobject_cast<QRadioButton *>(widget))
            checkButton(radio, QStyle::SE_RadioButtonContents, Qt::AlignLeft | Qt::AlignVCenter);
        else if (auto *tool = qobject_cast<QToolButton *>(widget))
            checkToolButton(tool);
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            checkCombo(combo);
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            checkGroupBox(group);
        else if (auto *header = qobject_cast<QHeaderView *>(widget))
            checkSections(header);
        else if (auto *menu = qobject_cast<QMenu *>(widget); menu && menu->width() < menu->sizeHint().width())
            report(menu, menu->title(), u"needs %1 px, has %2"_s.arg(menu->sizeHint().width()).arg(menu->width()));
        if (auto *tree = qobject_cast<QTreeView *>(widget))
            checkSections(tree->header(), tree);
        else if (auto *table = qobject_cast<QTableView *>(widget))
            checkSections(table->horizontalHeader(), table);
    }

    void report(const QWidget *widget, const QString &text, const QString &why)
    {
        const QString className = QString::fromLatin1(widget->metaObject()->className());
        QString name = widget->objectName();
        // A control without a name of its own: its class, after the nearest named parent.
        for (const QWidget *p = widget->parentWidget(); name.isEmpty() && p; p = p->parentWidget())
            if (!p->objectName().isEmpty() && !p->objectName().startsWith(u"qt_"_s))
                name = p->objectName() + u'/' + className;
        offenders << u"%1: %2 (%3) \"%4\": %5"_s.arg(m_window, name.isEmpty() ? className : name, className, text, why);
    }

    // The text, of `size`, placed in `area` as the control places it, must fit the area's width and show whole.
    // Above and below, the text may reach into a frame: only what the control or a parent cuts off counts there.
    void checkPlaced(const QWidget *widget, const QString &text, QSize size, const QRect &area, Qt::Alignment align)
    {
        const Qt::LayoutDirection direction = widget->layoutDirection();
        const QRect placed = QStyle::alignedRect(direction, QStyle::visualAlignment(direction, align), size, area);
        const QRect visible = visibleRect(widget);
        if (size.width() > area.width())
            report(widget, text, u"needs %1 px, has %2"_s.arg(size.width()).arg(area.width()));
        else if (!visible.contains(placed))
            report(widget, text, u"cut off: shows "_s + px((visible & placed).size()) + u" of "_s + px(placed.size()));
    }

    void checkLabel(QLabel *label)
    {
        const QString text = label->text();
        const Qt::TextFormat format = label->textFormat();
        if (text.isEmpty() || label->wordWrap() || !label->pixmap().isNull() || format == Qt::RichText ||
            (format == Qt::AutoText && Qt::mightBeRichText(text)))
            return;
        const QFontMetrics fm = label->fontMetrics();
        const Qt::Alignment align = label->alignment();
        const QString shown = shownText(text, align);
        QSize size = fm.size(Qt::TextExpandTabs | (label->buddy() ? Qt::TextShowMnemonic : 0), shown);
        if (!shown.contains(u'\n'))
            size.setWidth(std::max(size.width(), fm.horizontalAdvance(shown)));
        const int margin = label->margin();
        QRect area = label->contentsRect().adjusted(margin, margin, -margin, -margin);
        // A framed label with the default indent keeps half an x's width from the edges it is aligned to.
        const int indent =
            label->indent() < 0 && label->frameWidth() > 0 ? fm.horizontalAdvance(u'x') / 2 : label->indent();
        if (indent > 0)
            area.adjust(align & Qt::AlignLeft ? indent : 0, align & Qt::AlignTop ? indent : 0,
                        align & Qt::AlignRight ? -indent : 0, align & Qt::AlignBottom ? -indent : 0);
        checkPlaced(label, text, size, area, align);
    }

    // The caption and icon side by side in the button's contents, less a push button's menu indicator.
    template <class Button> void checkButton(Button *button, QStyle::SubElement contents, Qt::Alignment align)
    {
        if (button->text().isEmpty())
            return;
        const auto option = styleOption<QStyleOptionButton>(button);
        QRect area = button->style()->subElementRect(contents, &option, button);
        if (option.features & QStyleOptionButton::HasMenu)
            area.setRight(area.right() - button->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, button));
        QSize size = button->fontMetrics().size(Qt::TextShowMnemonic, shownText(button->text(), align));
        if (!option.icon.isNull())
            size = QSize(size.width() + option.iconSize.width() + 4, std::max(size.height(), option.iconSize.height()));
        checkPlaced(button, button->text(), size, area, align);
    }

    void checkToolButton(QToolButton *button)
    {
        const Qt::ToolButtonStyle style = button->toolButtonStyle();
        if (button->text().isEmpty() || style == Qt::ToolButtonIconOnly ||
            (style == Qt::ToolButtonFollowStyle && !button->icon().isNull()))
            return;
        if (button->sizeHint().width() > button->width() || button->sizeHint().height() > button->height())
            report(button, button->text(), u"needs "_s + px(button->sizeHint()) + u", has "_s + px(button->size()));
    }

    void checkCombo(QComboBox *combo)
    {
        const auto option = styleOption<QStyleOptionComboBox>(combo);
        QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        // A line edit keeps a margin of 2 pixels beside its text; the label is drawn one pixel in from the edges.
        if (const QLineEdit *edit = combo->lineEdit())
            field = edit->geometry().adjusted(2 + edit->textMargins().left(), 0, -2 - edit->textMargins().right(), 0);
        else
            field.adjust(1, 0, -1, 0);
        // What shows now (-1) and what every item shows once picked.
        for (int i = -1; i < combo->count(); ++i) {
            const QString text = i < 0 ? combo->currentText() : combo->itemText(i);
            QSize size(combo->fontMetrics().horizontalAdvance(shownText(text, Qt::AlignLeft)),
                       combo->fontMetrics().height());
            if (!combo->itemIcon(i < 0 ? combo->currentIndex() : i).isNull())
                size.rwidth() += combo->iconSize().width() + 4;
            if (!text.isEmpty())
                checkPlaced(combo, text, size, field, Qt::AlignLeft | Qt::AlignVCenter);
        }
    }

    // The title, where the style puts it.
    void checkGroupBox(QGroupBox *group)
    {
        const auto option = styleOption<QStyleOptionGroupBox>(group);
        const QRect label =
            group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        if (!group->title().isEmpty())
            checkPlaced(group, group->title(),
                        group->fontMetrics().size(Qt::TextShowMnemonic, shownText(group->title(), Qt::AlignLeft)),
                        label, Qt::AlignLeft | Qt::AlignVCenter);
    }

    // Every section of a header must fit its heading, or, given the view, the widest of its cells on view.
    void checkSections(QHeaderView *header, QAbstractItemView *view = nullptr)
    {
        if (!header || !header->model() || (view && !view->model()))
            return;
        for (int i = 0; i < header->count(); ++i) {
            const int has = header->sectionSize(i);
            const int wanted = view ? view->sizeHintForColumn(i) : header->sectionSizeHint(i);
            if (!header->isSectionHidden(i) && has > 0 && has < wanted)
                report(view ? static_cast<QWidget *>(view) : header,
                       header->model()->headerData(i, header->orientation(), Qt::DisplayRole).toString(),
                       u"%1 %2 need %3 px, have %4"_s.arg(view ? u"cells of column"_s : u"section"_s,
                                                          QString::number(i), QString::number(wanted),
                                                          QString::number(has)));
        }
    }

    form_NotifyMail *mail() const { return static_cast<form_NotifyMail *>(host->owner(Program::Email)); }

    // In the middle of the screen, frame and all.
    static bool centred(const QWidget *window)
    {
        const QPoint off = window->frameGeometry().center() - window->screen()->geometry().center();
        return std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("needs an X display with a window manager (ctest runs it under with_desktop.sh)");
        env = std::make_unique<TestEnvironment>();
        writeFirstStartDefaults();
        // The notes program runs; the others are opened by the tests. No port is taken.
        for (const char *key : {"StartClock", "StartCalc", "StartEmail"})
            SettingsStore().setValue(u"Settings"_s, QString::fromLatin1(key), u"0"_s);
        SettingsStore().setValue(u"Settings"_s, u"AcceptNotes"_s, u"False"_s);
        // Two notes, one with an alarm, as a user's file has them.
        QList<NoteRecord> notes;
        for (const QString &text : {u"Buy milk"_s, u"Call the dentist about Wednesday"_s}) {
            NoteRecord &note = notes.emplaceBack();
            note.text = text;
            note.left = 1500 + 4000 * int(notes.size() - 1);
            note.top = 1500;
            note.width = note.oldWidth = 2400;
            note.height = note.oldHeight = 1800;
            note.created = u"2026-11-30  08:00:00"_s;
        }
        notes[1].alarmDate = u"30-Dec-2026"_s;
        notes[1].alarmTime = u"9:30"_s;
        notes[1].alarmRepeat = u"0"_s;
        QFile file(NotesFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(encodeNotes(notes)) > 0);
        file.close();
        host = std::make_unique<Host>();
        panel = std::make_unique<form_Tarnibe>(*host);
        host->attach(*panel);
        panel->Form_Load();
    }

    // The panel, the host and the environment go after, in that order, with the test object.
    void cleanupTestCase()
    {
        if (host)
            host->unloadWindows();
    }

    // Every offender goes to the log, where no message length cuts the list short.
    void cleanup()
    {
        offenders.removeDuplicates();
        const QStringList found = std::exchange(offenders, {});
        for (const QString &offender : found)
            qWarning("%s", qPrintable(offender));
        QVERIFY2(found.isEmpty(), qPrintable(u"%1 captions do not fit (listed above)"_s.arg(found.size())));
    }

    void windows_data()
    {
        QTest::addColumn<std::function<void(tst_DesktopFit *)>>("open");
        QTest::newRow("control panel") << std::function([](tst_DesktopFit *t) {
            t->panel->showControlPanel();
            t->walk(t->panel.get());
            t->panel->hide();
        });
        // The container, every note, a note's menu where its icon opens it, and the programs' tray menus.
        QTest::newRow("notes") << std::function([](tst_DesktopFit *t) {
            form_Main *container = t->host->container();
            container->bringBack();
            QTest::mouseClick(container->findChild<QToolButton *>(u"image_NewNote"_s), Qt::LeftButton);
            QCOMPARE(NoteStore().count(), 3);
            t->walk(container);
            for (int i = 1; i <= 3; ++i)
                t->walk(NoteWindow(i), u"form_Note %1"_s.arg(i));
            QTest::mouseClick(NoteWindow(1)->findChild<QLabel *>(u"image_Menu"_s), Qt::LeftButton);
            // The menu is made when the click's double-click wait is over.
            QMenu *menu = nullptr;
            QTRY_VERIFY((menu = NoteWindow(1)->findChild<QMenu *>(u"menu_NoteMenu"_s)) && menu->isVisible());
            t->walk(menu, u"menu_NoteMenu"_s);
            menu->hide();
            for (Program program : {Program::Notes, Program::Clock, Program::Calculator, Program::Email}) {
                QMenu *trayMenu = t->host->owner(program)->popupMenu();
                trayMenu->popup(QPoint(200, 200));
                t->walk(trayMenu, t->host->owner(program)->objectName() + u" menu"_s);
                trayMenu->hide();
            }
        });
        QTest::newRow("alarm notice and missed alarms") << std::function([](tst_DesktopFit *t) {
            form_Notify *notice = Notice();
            notice->ring(u"Dont forget: 31-Dec-2026 23:59"_s, u"Call the dentist about Wednesday's appointment"_s);
            t->walk(notice);
            notice->close();
            form_MissedAlarms *missed = MissedAlarmsWindow();
            missed->addRing(u"Wednesday 30-Dec-2026  23:59"_s, u"Call the dentist"_s);
            missed->Form_Load();
            t->walk(missed);
            missed->close();
        });
        // The calculator, and the menus of its menu bar opened one by one.
        QTest::newRow("calculator") << std::function([](tst_DesktopFit *t) {
            form_Calculator calc;
            calc.Form_Load();
            calc.show();
            t->walk(&calc);
            for (QMenu *menu : calc.findChildren<QMenu *>()) {
                menu->popup(QPoint(100, 100));
                t->walk(menu, u"form_Calculator "_s + menu->objectName());
                menu->hide();
            }
        });
        // Folded, and unfolded with the history of a failed attempt.
        QTest::newRow("clock") << std::function([](tst_DesktopFit *t) {
            auto *clock = static_cast<form_GhostTime *>(t->host->owner(Program::Clock));
            clock->loadTimeWindow();
            form_Time *time = clock->timeWindow();
            time->show();
            t->walk(time, u"form_Time folded"_s);
            time->findChild<QPushButton *>(u"c_Mera"_s)->click();
            // An attempt that asks no server fails by its time-out.
            clock->sync().setReplyTimeout(std::chrono::milliseconds(10));
            clock->sync().start({}, false);
            QTRY_VERIFY(!clock->sync().attemptRunning());
            t->walk(time, u"form_Time unfolded"_s);
            time->findChild<QPushButton *>(u"c_Cancel"_s)->click();
        });
        QTest::newRow("mail notice") << std::function([](tst_DesktopFit *t) {
            t->mail()->setNotice(u"From: anna@example.org\nSubject: Hi from anna"_s, 12);
            t->mail()->show();
            t->walk(t->mail());
            t->mail()->hide();
        });
        // Folded and unfolded, and the program picker with the folder's files listed.
        QTest::newRow("mail properties") << std::function([](tst_DesktopFit *t) {
            t->mail()->findChild<QAction *>(u"menu_Properties"_s)->trigger();
            QPointer<form_Properties> properties = t->mail()->propertiesWindow();
            QVERIFY(properties);
            t->walk(properties, u"form_Properties folded"_s);
            QTest::mouseClick(properties->findChild<QPushButton *>(u"c_More"_s), Qt::LeftButton);
            properties->option_RAS[1]->click();
            t->walk(properties, u"form_Properties unfolded"_s);
            properties->c_Browse->click();
            auto *picker = properties->findChild<form_Browse *>();
            QVERIFY(picker);
            auto *files = picker->findChild<QTreeView *>();
            QVERIFY(files);
            QTRY_VERIFY(files->model()->rowCount(files->rootIndex()) > 0);
            t->walk(picker, {}, 200);
            picker->close();
            properties->c_Cancel->click();
            QTRY_VERIFY(!properties);
        });
        // The progress window is centred, titled for the title bar, and after a failed check that left it at the
        // top left the next one opens it in the middle again.
        QTest::newRow("mail progress") << std::function([](tst_DesktopFit *t) {
            form_Checking *progress = t->mail()->checkingWindow();
            progress->Form_Load();
            progress->show();
            t->walk(progress, u"form_Checking"_s);
            QProcess xprop;
            xprop.start(u"xprop"_s, {u"-id"_s, QString::number(progress->winId()), u"_NET_WM_NAME"_s});
            QVERIFY(xprop.waitForFinished(5000));
            QCOMPARE(QString::fromUtf8(xprop.readAllStandardOutput()).trimmed(),
                     u"_NET_WM_NAME(UTF8_STRING) = \"Checking email\""_s);
            progress->addLine(u"- Checking :pop3s://mail.example.org:995"_s);
            progress->addLine(u"- Error: The server refused the user name or password"_s);
            progress->c_Close->show();
            progress->label_Data[0]->setText(u"Error(s) from some servers occurred"_s);
            t->walk(progress, u"form_Checking failed"_s);
            progress->move(0, 0);
            QTRY_COMPARE(progress->frameGeometry().topLeft(), QPoint(0, 0));
            QTest::mouseClick(progress->findChild<QPushButton *>(u"c_Close"_s), Qt::LeftButton);
            progress->show();
            QVERIFY(QTest::qWaitForWindowExposed(progress));
            QTRY_VERIFY_WITH_TIMEOUT(centred(progress), 1000);
            QTest::mouseClick(progress->findChild<QPushButton *>(u"c_Close"_s), Qt::LeftButton);
            form_RASstatus *dialing = t->mail()->dialup.statusWindow();
            dialing->Form_Load();
            dialing->show();
            t->walk(dialing);
            dialing->hide();
        });
        QTest::newRow("network notes") << std::function([](tst_DesktopFit *t) {
            NetNotes *net = t->host->netNotes();
            net->openSendDialog(1);
            t->walk(net->sendDialog());
            net->sendDialog()->close();
            net->openNetUsers(false);
            form_NetUsers *users = net->editor();
            t->walk(users);
            QTest::mouseClick(users->findChild<QPushButton *>(u"c_Browse"_s), Qt::LeftButton);
            QPointer<HostPicker> hosts = users->picker;
            QVERIFY(hosts);
            t->walk(hosts);
            hosts->reject();
            users->close();
        });
    }

    void windows()
    {
        QFETCH(std::function<void(tst_DesktopFit *)>, open);
        open(this);
    }

    // Every month, each with the first seven days: every weekday and every month's date.
    void alarmEditor_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France);
    }

    void alarmEditor()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        OpenAlarmEditor(1);
        QPointer<form_Calendar> editor = qobject_cast<form_Calendar *>(QApplication::activeModalWidget());
        QVERIFY(editor);
        auto *months = editor->findChild<QComboBox *>(u"combo_Month"_s);
        QCOMPARE(months->count(), 12);
        for (int month = 0; month < 12; ++month) {
            // Chosen from the keyboard, as the list's first entry and then the next one each time.
            months->setFocus();
            QTest::keyClick(months, month == 0 ? Qt::Key_Home : Qt::Key_Down);
            QCOMPARE(months->currentIndex(), month);
            for (int day = 0; day < 7; ++day) {
                QTest::mouseClick(editor->findChild<QLabel *>(u"label_Number"_s + QString::number(day)),
                                  Qt::LeftButton);
                walk(editor, u"form_Calendar "_s + locale.name(), 1);
            }
        }
        editor->close();
        QTRY_VERIFY(!editor);
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(tst_DesktopFit)
#include "tst_DesktopFit.moc"
