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
#include "core/GhostOwner.h"
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
#include "notes/NoteRecord.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/IniStore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

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
        if (qobject_cast<const QAbstractScrollArea *>(parent->parentWidget()) &&
            static_cast<const QAbstractScrollArea *>(parent->parentWidget())->viewport() == parent)
            break;
        visible &= QRect(widget->mapFrom(parent, QPoint(0, 0)), parent->size());
    }
    return visible;
}

// Walks a shown window and lists every caption its fonts do not fit: cut off by the control's own edge or by a
// parent's, or elided.
class FitCheck {
public:
    explicit FitCheck(QString window) : m_window(std::move(window)) {}

    QStringList offenders() const { return m_offenders; }

    void walk(QWidget *window)
    {
        check(window);
        for (QWidget *child : window->findChildren<QWidget *>()) {
            // A child that is a window of its own (an open dialog) is checked as a window.
            if (!child->isVisible() || child->window() != window)
                continue;
            check(child);
        }
    }

private:
    void check(QWidget *widget)
    {
        if (auto *label = qobject_cast<QLabel *>(widget))
            checkLabel(label);
        else if (auto *push = qobject_cast<QPushButton *>(widget))
            checkPushButton(push);
        else if (auto *box = qobject_cast<QCheckBox *>(widget))
            checkIndicatorButton(box, QStyle::SE_CheckBoxContents);
        else if (auto *radio = qobject_cast<QRadioButton *>(widget))
            checkIndicatorButton(radio, QStyle::SE_RadioButtonContents);
        else if (auto *tool = qobject_cast<QToolButton *>(widget))
            checkToolButton(tool);
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            checkCombo(combo);
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            checkGroupBox(group);
        else if (auto *header = qobject_cast<QHeaderView *>(widget))
            checkHeader(header);
        else if (auto *menu = qobject_cast<QMenu *>(widget))
            checkMenu(menu);
        if (auto *tree = qobject_cast<QTreeView *>(widget))
            checkCells(tree, tree->header());
        else if (auto *table = qobject_cast<QTableView *>(widget))
            checkCells(table, table->horizontalHeader());
    }

    QString nameOf(const QWidget *widget) const
    {
        QString name = widget->objectName();
        if (name.isEmpty()) {
            // A control without a name of its own: its class, after the nearest named parent.
            name = QString::fromLatin1(widget->metaObject()->className());
            for (const QWidget *p = widget->parentWidget(); p; p = p->parentWidget()) {
                if (!p->objectName().isEmpty() && !p->objectName().startsWith(u"qt_"_s)) {
                    name = p->objectName() + u'/' + name;
                    break;
                }
            }
        }
        return name;
    }

    void report(const QWidget *widget, const QString &text, const QString &why)
    {
        m_offenders << u"%1: %2 (%3) \"%4\": %5"_s.arg(
            m_window, nameOf(widget), QString::fromLatin1(widget->metaObject()->className()), text, why);
    }

    // The text, of `size`, placed in `area` as the control places it, must fit the area's width and show whole.
    // Above and below, the text may reach into a frame: only what the control or a parent cuts off counts there.
    void checkPlaced(const QWidget *widget, const QString &text, QSize size, const QRect &area, Qt::Alignment align)
    {
        const QRect placed = QStyle::alignedRect(widget->layoutDirection(),
                                                 QStyle::visualAlignment(widget->layoutDirection(), align), size, area);
        const QRect visible = visibleRect(widget);
        if (size.width() > area.width())
            report(widget, text, u"needs %1 px, has %2"_s.arg(size.width()).arg(area.width()));
        else if (!visible.contains(placed))
            report(widget, text,
                   u"cut off: shows %1x%2 of %3x%4 px"_s.arg((visible & placed).width())
                       .arg((visible & placed).height())
                       .arg(placed.width())
                       .arg(placed.height()));
    }

    // Blanks after the last character take no room on the screen when the text starts at the left.
    static QString shownText(const QString &text, Qt::Alignment align)
    {
        if (!(align & (Qt::AlignLeft | Qt::AlignLeading)) && (align & Qt::AlignHorizontal_Mask))
            return text;
        qsizetype end = text.size();
        while (end > 0 && text[end - 1].isSpace())
            --end;
        return text.left(end);
    }

    void checkLabel(QLabel *label)
    {
        const QString text = label->text();
        if (text.isEmpty() || label->wordWrap() || !label->pixmap().isNull())
            return;
        if (label->textFormat() == Qt::RichText || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
            return;
        const QFontMetrics fm = label->fontMetrics();
        int flags = Qt::TextExpandTabs;
        if (label->buddy())
            flags |= Qt::TextShowMnemonic;
        const QString shown = shownText(text, label->alignment());
        QSize size = fm.size(flags, shown);
        if (!shown.contains(u'\n'))
            size.setWidth(std::max(size.width(), fm.horizontalAdvance(shown)));
        const int margin = label->margin();
        QRect area = label->contentsRect().adjusted(margin, margin, -margin, -margin);
        int indent = label->indent();
        if (indent < 0 && label->frameWidth() > 0)
            indent = fm.horizontalAdvance(u'x') / 2;
        if (indent > 0) {
            const Qt::Alignment align = label->alignment();
            if (align & Qt::AlignLeft)
                area.setLeft(area.left() + indent);
            if (align & Qt::AlignRight)
                area.setRight(area.right() - indent);
            if (align & Qt::AlignTop)
                area.setTop(area.top() + indent);
            if (align & Qt::AlignBottom)
                area.setBottom(area.bottom() - indent);
        }
        checkPlaced(label, text, size, area, label->alignment());
    }

    // The caption and icon of a button, side by side.
    static QSize buttonContent(const QAbstractButton *button, int iconGap, Qt::Alignment align)
    {
        QSize size = button->fontMetrics().size(Qt::TextShowMnemonic, shownText(button->text(), align));
        if (!button->icon().isNull()) {
            size.rwidth() += button->iconSize().width() + (button->text().isEmpty() ? 0 : iconGap);
            size.setHeight(std::max(size.height(), button->iconSize().height()));
        }
        return size;
    }

    void checkPushButton(QPushButton *button)
    {
        if (button->text().isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        if (button->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        if (button->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (button->isFlat())
            option.features |= QStyleOptionButton::Flat;
        QRect area = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (button->menu())
            area.setRight(area.right() - button->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, button));
        checkPlaced(button, button->text(), buttonContent(button, 4, Qt::AlignCenter), area, Qt::AlignCenter);
    }

    void checkIndicatorButton(QAbstractButton *button, QStyle::SubElement contents)
    {
        if (button->text().isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        const QRect area = button->style()->subElementRect(contents, &option, button);
        checkPlaced(button, button->text(), buttonContent(button, 4, Qt::AlignLeft), area,
                    Qt::AlignLeft | Qt::AlignVCenter);
    }

    void checkToolButton(QToolButton *button)
    {
        if (button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly ||
            (button->toolButtonStyle() == Qt::ToolButtonFollowStyle && !button->icon().isNull()))
            return;
        const QSize hint = button->sizeHint();
        if (hint.width() > button->width() || hint.height() > button->height())
            report(button, button->text(),
                   u"needs %1x%2, has %3x%4"_s.arg(hint.width())
                       .arg(hint.height())
                       .arg(button->width())
                       .arg(button->height()));
    }

    void checkCombo(QComboBox *combo)
    {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.iconSize = combo->iconSize();
        option.currentText = combo->currentText();
        QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        if (QLineEdit *edit = combo->lineEdit()) {
            // The line edit keeps a margin of 2 pixels beside its text.
            const QMargins margins = edit->textMargins();
            field = edit->geometry().adjusted(2 + margins.left(), 0, -2 - margins.right(), 0);
        } else {
            // The label is drawn one pixel in from the field's edges.
            field.adjust(1, 0, -1, 0);
        }
        const QFontMetrics fm = combo->fontMetrics();
        // What shows now and what every item shows once picked.
        QList<std::pair<QString, QIcon>> texts{{combo->currentText(), combo->itemIcon(combo->currentIndex())}};
        for (int i = 0; i < combo->count(); ++i)
            texts.append({combo->itemText(i), combo->itemIcon(i)});
        for (const auto &[text, icon] : std::as_const(texts)) {
            if (text.isEmpty())
                continue;
            QSize size(fm.horizontalAdvance(shownText(text, Qt::AlignLeft)), fm.height());
            if (!icon.isNull())
                size.rwidth() += combo->iconSize().width() + 4;
            checkPlaced(combo, text, size, field, Qt::AlignLeft | Qt::AlignVCenter);
        }
    }

    void checkGroupBox(QGroupBox *group)
    {
        if (group->title().isEmpty())
            return;
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.lineWidth = 1;
        option.midLineWidth = 0;
        option.textAlignment = Qt::Alignment(group->alignment());
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        if (group->isCheckable())
            option.subControls |= QStyle::SC_GroupBoxCheckBox;
        option.features = group->isFlat() ? QStyleOptionFrame::Flat : QStyleOptionFrame::None;
        const QRect label =
            group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        const QRect visible = visibleRect(group);
        const QSize size = group->fontMetrics().size(Qt::TextShowMnemonic, shownText(group->title(), Qt::AlignLeft));
        if (!visible.contains(label) || size.width() > label.width())
            report(group, group->title(),
                   u"title needs %1 px, shows %2"_s.arg(size.width()).arg((visible & label).width()));
    }

    void checkHeader(QHeaderView *header)
    {
        if (!header->model())
            return;
        for (int i = 0; i < header->count(); ++i) {
            if (header->isSectionHidden(i) || header->sectionSize(i) == 0)
                continue;
            const int wanted = header->sectionSizeHint(i);
            if (header->sectionSize(i) < wanted)
                report(header, header->model()->headerData(i, header->orientation(), Qt::DisplayRole).toString(),
                       u"section %1 needs %2 px, has %3"_s.arg(i).arg(wanted).arg(header->sectionSize(i)));
        }
    }

    // The cells on view, column by column: the widest must fit its column.
    void checkCells(QAbstractItemView *view, QHeaderView *header)
    {
        if (!view->model() || !header)
            return;
        for (int column = 0; column < header->count(); ++column) {
            if (header->isSectionHidden(column) || header->sectionSize(column) == 0)
                continue;
            const int wanted = view->sizeHintForColumn(column);
            if (header->sectionSize(column) < wanted)
                report(view, header->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                       u"cells of column %1 need %2 px, have %3"_s.arg(column).arg(wanted).arg(
                           header->sectionSize(column)));
        }
    }

    void checkMenu(QMenu *menu)
    {
        if (menu->width() < menu->sizeHint().width())
            report(menu, menu->title(), u"needs %1 px, has %2"_s.arg(menu->sizeHint().width()).arg(menu->width()));
    }

    QString m_window;
    QStringList m_offenders;
};

} // namespace

// Opens every window of the suite on a desktop with a window manager (ctest runs it under with_desktop.sh) and
// checks that the fonts the desktop has fit every caption, item and column heading.
class tst_DesktopFit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<Host> host;
    std::unique_ptr<form_Tarnibe> panel;

    // Lets the window manager map and place the window and the layouts settle.
    static void settle(QWidget *window)
    {
        QVERIFY2(QTest::qWaitForWindowExposed(window), qPrintable(window->objectName()));
        QTest::qWait(50);
    }

    // Walks the window; with TARNIBE_FIT_SHOTS naming a folder, it keeps a picture of each window it walked there.
    static QStringList fit(QWidget *window, const QString &name = {})
    {
        const QString title = name.isEmpty() ? window->objectName() : name;
        FitCheck check(title);
        check.walk(window);
        if (const QString shots = qEnvironmentVariable("TARNIBE_FIT_SHOTS"); !shots.isEmpty())
            window->grab().save(shots + u'/' + QString(title).replace(u' ', u'_') + u".png"_s);
        return check.offenders();
    }

    // Every offender goes to the log, where no message length cuts the list short.
    static QString report(const QStringList &offenders)
    {
        for (const QString &offender : offenders)
            qWarning("%s", qPrintable(offender));
        return u"%1 captions do not fit (listed above), the first: %2"_s.arg(offenders.size()).arg(offenders.value(0));
    }

    form_NotifyMail *mail() const { return static_cast<form_NotifyMail *>(host->owner(Program::Email)); }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("needs an X display with a window manager (ctest runs it under with_desktop.sh)");
        env = std::make_unique<TestEnvironment>();
        WriteToRegistry();
        // The notes program runs; the others are opened by the tests. No port is taken.
        for (const char *key : {"StartClock", "StartCalc", "StartEmail"})
            SettingsStore().setValue(u"Settings"_s, QString::fromLatin1(key), u"0"_s);
        SettingsStore().setValue(u"Settings"_s, u"AcceptNotes"_s, u"False"_s);
        // Two notes, one with an alarm, as a user's file has them.
        QList<NoteRecord> notes(2);
        notes[0].text = u"Buy milk"_s;
        notes[1].text = u"Call the dentist about Wednesday"_s;
        notes[1].alarmDate = u"30-Dec-2026"_s;
        notes[1].alarmTime = u"9:30"_s;
        notes[1].alarmRepeat = u"0"_s;
        for (int i = 0; i < 2; ++i) {
            NoteRecord &note = notes[i];
            note.left = 1500 + 4000 * i;
            note.top = 1500;
            note.width = note.oldWidth = 2400;
            note.height = note.oldHeight = 1800;
            note.created = u"2026-11-30  08:00:00"_s;
        }
        QFile file(NotesFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(encodeNotes(notes)) > 0);
        file.close();
        host = std::make_unique<Host>();
        panel = std::make_unique<form_Tarnibe>(*host);
        host->attach(*panel);
        panel->Form_Load();
    }

    void cleanupTestCase()
    {
        if (host)
            host->unloadWindows();
        panel.reset();
        host.reset();
        env.reset();
    }

    // The walk itself: a window with one control of each kind too narrow for its caption, and one of each that fits.
    void theWalkFindsEveryKindOfCutCaption()
    {
        QWidget window;
        window.setObjectName(u"sample"_s);
        window.resize(400, 300);
        const auto place = [&window](QWidget *control, const char *name, QRect geometry) {
            control->setParent(&window);
            control->setObjectName(QString::fromLatin1(name));
            control->setGeometry(geometry);
        };
        place(new QLabel(u"A caption far too long"_s), "label_Cut", {0, 0, 40, 20});
        place(new QLabel(u"Fits"_s), "label_Fits", {0, 20, 100, 20});
        place(new QLabel(u"Past the edge of the window"_s), "label_PastTheEdge", {380, 40, 300, 20});
        place(new QPushButton(u"Cancel every alarm"_s), "button_Cut", {0, 60, 50, 26});
        place(new QPushButton(u"OK"_s), "button_Fits", {60, 60, 80, 26});
        place(new QCheckBox(u"Synchronize also the date."_s), "check_Cut", {0, 90, 60, 20});
        place(new QRadioButton(u"Every month"_s), "radio_Cut", {0, 110, 40, 20});
        auto *months = new QComboBox;
        months->addItems({u"May"_s, u"September"_s});
        place(months, "combo_Cut", {0, 130, 60, 24});
        place(new QGroupBox(u"Missed alarms while Tarnibe was turned off"_s), "group_Cut", {0, 160, 60, 30});
        auto *tree = new QTreeWidget;
        tree->setHeaderLabels({u"Name"_s, u"Date Modified"_s});
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList{u"thunderbird.desktop"_s, u"30 Dec 2026 23:59:59"_s}));
        place(tree, "tree_Cut", {0, 195, 300, 100});
        tree->header()->resizeSection(0, 200);
        tree->header()->resizeSection(1, 30);
        window.show();
        settle(&window);

        const QStringList offenders = fit(&window);
        const QString all = offenders.join(u'\n');
        for (const char *cut : {"label_Cut", "label_PastTheEdge", "button_Cut", "check_Cut", "radio_Cut", "group_Cut"})
            QVERIFY2(all.contains(u"sample: "_s + QString::fromLatin1(cut) + u" ("_s), cut);
        QVERIFY2(all.contains(u"combo_Cut (QComboBox) \"September\""_s), qPrintable(all));
        QVERIFY2(!all.contains(u"\"May\""_s), qPrintable(all));
        QVERIFY2(all.contains(u"(QHeaderView) \"Date Modified\""_s), qPrintable(all));
        QVERIFY2(all.contains(u"tree_Cut (QTreeWidget) \"Date Modified\": cells"_s), qPrintable(all));
        QVERIFY2(!all.contains(u"\"Name\""_s), qPrintable(all));
        QVERIFY2(!all.contains(u"_Fits"_s), qPrintable(all));
    }

    void controlPanel()
    {
        panel->showControlPanel();
        settle(panel.get());
        const QStringList offenders = fit(panel.get());
        panel->hide();
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void notesWindows()
    {
        form_Main *container = host->container();
        container->bringBack();
        container->image_NewNote_Click();
        QCOMPARE(NoteStore().count(), 3);
        settle(container);
        QStringList offenders = fit(container);
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(NoteStore().window(i));
            settle(NoteStore().window(i));
            offenders += fit(NoteStore().window(i), u"form_Note %1"_s.arg(i));
        }
        form_Note *note = NoteStore().window(1);

        // The note's menu, where its icon opens it.
        note->timer_Click_Timer();
        auto *menu = note->findChild<QMenu *>(u"menu_NoteMenu"_s);
        QTRY_VERIFY(menu->isVisible());
        settle(menu);
        offenders += fit(menu, u"menu_NoteMenu"_s);
        menu->hide();

        // The container's row menu and the programs' tray menus.
        for (Program program : {Program::Notes, Program::Clock, Program::Calculator, Program::Email}) {
            QMenu *trayMenu = host->owner(program)->popupMenu();
            trayMenu->popup(QPoint(200, 200));
            settle(trayMenu);
            offenders += fit(trayMenu, host->owner(program)->objectName() + u" menu"_s);
            trayMenu->hide();
        }
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

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
        QVERIFY(NoteStore().count() >= 2);
        OpenAlarmEditor(1);
        QPointer<form_Calendar> editor = qobject_cast<form_Calendar *>(QApplication::activeModalWidget());
        QVERIFY(editor);
        settle(editor);
        const QString name = u"form_Calendar "_s + locale.name();
        QStringList offenders;
        // Every month, each with the first seven days: every weekday and every month's date.
        auto *months = editor->findChild<QComboBox *>(u"combo_Month"_s);
        QCOMPARE(months->count(), 12);
        for (int month = 0; month < 12; ++month) {
            months->setCurrentIndex(month);
            editor->combo_Month_Click();
            for (int day = 0; day < 7; ++day) {
                editor->label_Number_Click(day);
                QTest::qWait(1);
                offenders += fit(editor, name);
            }
        }
        offenders.removeDuplicates();
        editor->close();
        QTRY_VERIFY(!editor);
        QLocale::setDefault(QLocale::c());
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void alarmNoticeAndMissedAlarms()
    {
        form_Notify *notice = Notice();
        notice->ring(u"Dont forget: 31-Dec-2026 23:59"_s, u"Call the dentist about Wednesday's appointment"_s);
        settle(notice);
        QStringList offenders = fit(notice);
        notice->close();

        form_MissedAlarms *missed = MissedAlarmsWindow();
        missed->addRing(u"Wednesday 30-Dec-2026  23:59"_s, u"Call the dentist"_s);
        missed->Form_Load();
        settle(missed);
        offenders += fit(missed);
        missed->close();
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void calculator()
    {
        form_Calculator calc;
        calc.Form_Load();
        calc.show();
        settle(&calc);
        QStringList offenders = fit(&calc);
        // The menus of the menu bar, opened one by one.
        for (QMenu *menu : calc.findChildren<QMenu *>()) {
            menu->popup(QPoint(100, 100));
            settle(menu);
            offenders += fit(menu, u"form_Calculator "_s + menu->objectName());
            menu->hide();
        }
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void clockWindows()
    {
        auto *clock = static_cast<form_GhostTime *>(host->owner(Program::Clock));
        clock->loadTimeWindow();
        form_Time *time = clock->timeWindow();
        time->show();
        settle(time);
        QStringList offenders = fit(time, u"form_Time folded"_s);
        // Unfolded, with the history of a failed attempt.
        time->c_Mera_Click();
        time->Winsock1_Error(1, u"Timeout"_s);
        QTest::qWait(50);
        offenders += fit(time, u"form_Time unfolded"_s);
        time->c_Cancel_Click();
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void mailNotice()
    {
        form_NotifyMail *notify = mail();
        notify->setNotice(u"From: anna@example.org\nSubject: Hi from anna"_s, 12);
        notify->show();
        settle(notify);
        const QStringList offenders = fit(notify);
        notify->hide();
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void mailProperties()
    {
        mail()->menu_Properties_Click();
        QPointer<form_Properties> properties = mail()->propertiesWindow();
        QVERIFY(properties);
        settle(properties);
        QStringList offenders = fit(properties, u"form_Properties folded"_s);
        properties->c_More_Click();
        properties->option_RAS[1]->click();
        QTest::qWait(50);
        offenders += fit(properties, u"form_Properties unfolded"_s);

        // The program picker, with the folder's files listed.
        properties->c_Browse->click();
        auto *picker = properties->findChild<form_Browse *>();
        QVERIFY(picker);
        settle(picker);
        auto *files = picker->findChild<QTreeView *>();
        QVERIFY(files);
        QTRY_VERIFY(files->model()->rowCount(files->rootIndex()) > 0);
        QTest::qWait(200);
        offenders += fit(picker);
        picker->close();
        properties->c_Cancel->click();
        QTRY_VERIFY(!properties);
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void mailProgress()
    {
        form_Checking *progress = mail()->checkingWindow();
        progress->Form_Load();
        progress->show();
        settle(progress);
        QStringList offenders = fit(progress, u"form_Checking"_s);
        // In the middle of the screen where the window manager put it, give or take the frame it added.
        const QRect screen = progress->screen()->geometry();
        const auto centred = [progress, screen] {
            const QRect frame = progress->frameGeometry();
            const QPoint off = frame.center() - screen.center();
            return std::abs(off.x()) <= frame.width() - progress->width() + 2 &&
                   std::abs(off.y()) <= frame.height() - progress->height() + 2;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            centred(), qPrintable(u"at %1,%2"_s.arg(progress->frameGeometry().x()).arg(progress->frameGeometry().y())),
            1000);
        // The title as the window manager has it for the title bar.
        QProcess xprop;
        xprop.start(u"xprop"_s, {u"-id"_s, QString::number(progress->winId()), u"_NET_WM_NAME"_s});
        QVERIFY(xprop.waitForFinished(5000));
        QCOMPARE(QString::fromUtf8(xprop.readAllStandardOutput()).trimmed(),
                 u"_NET_WM_NAME(UTF8_STRING) = \"Checking email\""_s);

        // As a failed check leaves it.
        progress->addLine(u"- Checking :pop3s://mail.example.org:995"_s);
        progress->addLine(u"- Error: The server refused the user name or password"_s);
        progress->c_Close->show();
        progress->label_Data[0]->setText(u"Error(s) from some servers occurred"_s);
        QTest::qWait(50);
        offenders += fit(progress, u"form_Checking failed"_s);
        // A failed check leaves the window at the top left; the next one opens it in the middle again.
        progress->move(0, 0);
        QTRY_COMPARE(progress->frameGeometry().topLeft(), QPoint(0, 0));
        progress->c_Close_Click();
        progress->show();
        QVERIFY(QTest::qWaitForWindowExposed(progress));
        QTRY_VERIFY2_WITH_TIMEOUT(
            centred(), qPrintable(u"at %1,%2"_s.arg(progress->frameGeometry().x()).arg(progress->frameGeometry().y())),
            1000);
        progress->c_Close_Click();

        form_RASstatus *dialing = mail()->dialup.statusWindow();
        dialing->Form_Load();
        dialing->show();
        settle(dialing);
        offenders += fit(dialing);
        dialing->hide();
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }

    void networkWindows()
    {
        NetNotes *net = host->netNotes();
        net->openSendDialog(1);
        form_SendTo *send = net->sendDialog();
        settle(send);
        QStringList offenders = fit(send);
        send->close();

        net->openNetUsers(false);
        form_NetUsers *users = net->editor();
        settle(users);
        offenders += fit(users);
        users->c_Browse_Click();
        QPointer<HostPicker> hosts = users->picker;
        QVERIFY(hosts);
        settle(hosts);
        offenders += fit(hosts);
        hosts->reject();
        users->close();
        QVERIFY2(offenders.isEmpty(), qPrintable(report(offenders)));
    }
};

QTEST_MAIN(tst_DesktopFit)
#include "tst_DesktopFit.moc"
