// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/form_Main.h"

#include "core/DateText.h"
#include "core/Settings.h"
#include "core/Sound.h"
#include "core/Twips.h"
#include "notes/NoteIcons.h"
#include "notes/NoteRows.h"
#include "notes/NoteSearch.h"
#include "notes/NoteStore.h"
#include "notes/NoteTransfer.h"
#include "notes/form_Note.h"
#include "notes/form_RestoreNotes.h"
#include "platform/Clock.h"
#include "platform/Icons.h"
#include "platform/MessageBox.h"
#include "platform/WindowFlags.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

namespace {

QString stampNow()
{
    const QDateTime now = platform::Clock::now();
    return formatDate(now.date()) + u"  " + formatTime(now.time());
}

} // namespace

form_Main::form_Main(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("form_Main"));
    setWindowTitle(QStringLiteral("Container"));
    setWindowIcon(platform::suiteIcon(QStringLiteral("notes")));
    buildWindow();
    timer_Blink.setInterval(350);
    timer_Blink.setSingleShot(true);
    connect(&timer_Blink, &QTimer::timeout, this, &form_Main::timer_Blink_Timer);
    timer_CheckAlarm.setInterval(5000);
    connect(&timer_CheckAlarm, &QTimer::timeout, this, &form_Main::alarmCheckDue);
    timer_CheckAlarm.start();
    NoteTable &table = NoteStore();
    connect(&table, &NoteTable::textChanged, this, [this](int index) {
        if (const NoteRecord *note = NoteStore().record(index))
            setRowText(index, note->text);
        applySearch();
    });
    connect(&table, &NoteTable::noteRemoved, this, &form_Main::removeRow);
    connect(&table, &NoteTable::cleared, this, &form_Main::discardRows);
    connect(&table, &NoteTable::notesAdded, this, [this](int first, int last) {
        for (int index = first; index <= last; ++index)
            addRow(index, NoteRows::NewDotOffset);
        Form_Resize();
        SetBackgroundOnPicture();
        applySearch();
    });
    connect(&table, &NoteTable::alarmChanged, this, [this](int index) {
        if (const NoteEntry *note = NoteStore().entry(index))
            setRowAlarm(index, note->alarmShown, note->alarmTip);
    });
    SetNotesContainer(this);
}

form_Main::~form_Main()
{
    if (NotesContainer() == this)
        SetNotesContainer(nullptr);
}

void form_Main::buildWindow()
{
    resize(toPixels(8850), toPixels(3060 + SearchHeight));
    text_Search = new QLineEdit(this);
    text_Search->setObjectName(QStringLiteral("text_Search"));
    text_Search->setPlaceholderText(QStringLiteral("Search the notes (Ctrl+F)"));
    text_Search->setGeometry(twipsRect(0, 0, 8835, SearchHeight));
    connect(text_Search, &QLineEdit::textChanged, this, &form_Main::text_Search_Change);
    connect(text_Search, &QLineEdit::returnPressed, this, &form_Main::text_Search_Return);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), text_Search);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, &form_Main::text_Search_Escape);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        text_Search->setFocus(Qt::ShortcutFocusReason);
        text_Search->selectAll();
    });
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipsRect(0, SearchHeight, 8835, 3060));
    Picture2 = new NoteRows(Picture1);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(twipsRect(-15, -15, m_surfaceWidth, m_surfaceHeight));
    connect(Picture2, &NoteRows::clicked, this, [this](int index, NoteRows::Part part) {
        if (part == NoteRows::Part::Text)
            label_NoteText_Click(index);
        else if (part == NoteRows::Part::Dot)
            image_Dot_Click(index);
        else if (part == NoteRows::Part::Alarm)
            Q_EMIT NoteStore().alarmIconClicked(index, false);
    });

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    connect(HScroll1, &QScrollBar::valueChanged, this, [this](int value) { Picture2->move(-value, Picture2->y()); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int value) { Picture2->move(Picture2->x(), -value); });

    const auto heading = [this](const char *name, const QString &caption, int left) {
        auto *label = new QLabel(caption, Picture2);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(QFont(QStringLiteral("Arial"), 8));
        label->move(toPixels(left), toPixels(270) - 14);
    };
    heading("label_Subject", QStringLiteral("Subject:"), NoteRows::TextLeft);
    heading("label_Date", QStringLiteral("Created:"), NoteRows::DateLeft);

    const auto button = [this](const char *name, const QString &caption, int top, void (form_Main::*click)()) {
        auto *b = new QToolButton(Picture2);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setGeometry(twipsRect(75, top, 1350, 315));
        connect(b, &QToolButton::clicked, this, click);
        return b;
    };
    image_NewNote = button("image_NewNote", QStringLiteral("New note"), 315, &form_Main::image_NewNote_Click);
    image_HideAll = button("image_HideAll", QStringLiteral("Hide all"), 660, &form_Main::image_HideAll_Click);
    image_ShowAll = button("image_ShowAll", QStringLiteral("Show all"), 660, &form_Main::image_ShowAll_Click);
    image_Minimize = button("image_Minimize", QStringLiteral("Minimize all"), 1005, &form_Main::image_Minimize_Click);
    image_Maximize = button("image_Maximize", QStringLiteral("Maximize all"), 1005, &form_Main::image_Maximize_Click);
    image_ShowAll->hide();
    image_Maximize->hide();

    menu_PopMenu = new QMenu(this);
    menu_PopMenu->setObjectName(QStringLiteral("menu_PopMenu"));
    const auto item = [this](const char *name, const QString &caption, void (form_Main::*handler)()) {
        QAction *action = menu_PopMenu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    m_rowItems = {
        item("menu_Hide", QStringLiteral("&Hide"), &form_Main::menu_Hide_Click),
        item("menu_Erase", QStringLiteral("&Delete"), &form_Main::menu_Erase_Click),
        item("menu_Alarm", QStringLiteral("&Set alarmtime"), &form_Main::menu_Alarm_Click),
        item("menu_SendToNetUser", QStringLiteral("S&end to net user-->"), &form_Main::menu_SendToNetUser_Click)};
    menu_PopMenu->addSeparator();
    item("menu_RestoreNotes", QStringLiteral("&Restore notes..."), &form_Main::menu_RestoreNotes_Click);
    item("menu_ExportNotes", QStringLiteral("Ex&port notes..."), &form_Main::menu_ExportNotes_Click);
    item("menu_ImportNotes", QStringLiteral("Import &notes..."), &form_Main::menu_ImportNotes_Click);
}

void form_Main::Form_Load()
{
    m_maxWidth = toTwips(width());
    m_maxHeight = toTwips(height());
    const QRect screen = screenTwips();
    if (homeWindow())
        centreOnScreen(this); // beside the Control center, which stays open where no tray runs
    else
        move(toPixels((screen.width() - toTwips(width())) / 2), toPixels((screen.height() - toTwips(height())) / 2));
    SetBackgroundOnPicture();
    ReadSavedData();
    CreateLabels();
    if (Settings().NotesAllMinimized) {
        image_Maximize->show();
        image_Minimize->hide();
    }
    if (Settings().NotesAllHidden) {
        image_ShowAll->show();
        image_HideAll->hide();
    }
}

int form_Main::rowCount() const
{
    return Picture2->count();
}

void form_Main::addRow(int index, int dotOffset)
{
    const NoteRecord &note = *NoteStore().record(index);
    Picture2->append(note.created, dotOffset);
    setRowText(index, note.text);
    showRowAlarm(index);
    // The surface keeps room below the last row, and never shrinks.
    const int top = Picture2->top(index);
    if (top + 1000 > m_surfaceHeight) {
        m_surfaceHeight = top + 1000;
        Picture2->resize(toPixels(m_surfaceWidth), toPixels(m_surfaceHeight));
    }
    m_maxHeight = m_surfaceHeight + 400 + SearchHeight;
}

void form_Main::setRowText(int index, const QString &text)
{
    Picture2->setText(index, NoteRowText(text));
}

void form_Main::setRowAlarm(int index, bool visible, const QString &tip)
{
    Picture2->setAlarm(index, visible, tip);
}

QString form_Main::rowText(int index) const
{
    return Picture2->text(index);
}

void form_Main::showRowAlarm(int index)
{
    if (const NoteRecord *note = NoteStore().record(index))
        Picture2->setAlarm(index, note->alarmRepeat != u"-1", note->alarmDate + u' ' + note->alarmTime);
}

void form_Main::CreateLabels()
{
    for (int i = rowCount() + 1; i <= NoteStore().count(); ++i)
        addRow(i, NoteRows::ReadDotOffset);
    m_maxHeight = m_surfaceHeight + 400 + SearchHeight;
    SetBackgroundOnPicture();
    updateScrollBars();
    applySearch();
}

void form_Main::removeRow(int index)
{
    // As read from the file, every row has its dot at the same height, new ones included.
    Picture2->remove(index);
    updateScrollBars();
}

void form_Main::discardRows()
{
    Picture2->clear();
}

void form_Main::SetBackgroundOnPicture()
{
    // The paper tile repeats down the surface.
    QPalette pal = Picture2->palette();
    pal.setBrush(QPalette::Window, QBrush(NoteIcons::paper()));
    Picture2->setPalette(pal);
}

void form_Main::updateScrollBars()
{
    const QSize viewport = Picture1->size();
    const int surfaceW = toPixels(m_surfaceWidth);
    const int surfaceH = toPixels(m_surfaceHeight);
    VScroll1->setVisible(viewport.height() < surfaceH);
    HScroll1->setVisible(viewport.width() < surfaceW);
    // Over the rows' view, below the search field.
    const int top = Picture1->y();
    HScroll1->setGeometry(0, top + viewport.height() - HScroll1->sizeHint().height(),
                          viewport.width() - (VScroll1->isVisibleTo(this) ? VScroll1->sizeHint().width() : 0),
                          HScroll1->sizeHint().height());
    VScroll1->setGeometry(viewport.width() - VScroll1->sizeHint().width(), top, VScroll1->sizeHint().width(),
                          viewport.height());
    HScroll1->setPageStep(qMax(1, viewport.width() / 10));
    HScroll1->setSingleStep(qMax(1, viewport.width() / 20));
    VScroll1->setPageStep(qMax(1, viewport.height() / 10));
    VScroll1->setSingleStep(qMax(1, viewport.height() / 20));
    HScroll1->setMaximum(qMax(0, surfaceW - viewport.width()));
    VScroll1->setMaximum(qMax(0, surfaceH - viewport.height()));
}

void form_Main::Form_Resize()
{
    if (isMinimized() || isMaximized())
        return;
    if (m_maxWidth > 0 && toTwips(width()) > m_maxWidth)
        resize(toPixels(m_maxWidth), height());
    if (m_maxHeight > 0 && toTwips(height()) > m_maxHeight)
        resize(width(), toPixels(m_maxHeight));
    const int search = toPixels(SearchHeight);
    text_Search->setGeometry(0, 0, width(), search);
    Picture1->setGeometry(0, search, width(), height() - search);
    updateScrollBars();
}

void form_Main::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void form_Main::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        Settings().cntContainer += 1;
        Settings().totContainer += 1;
    }
}

void form_Main::wheelEvent(QWheelEvent *event)
{
    // The wheel scrolls the rows wherever the pointer is on them, as in any list.
    if (VScroll1->isVisible())
        QCoreApplication::sendEvent(VScroll1, event);
    else
        event->ignore();
}

void form_Main::closeEvent(QCloseEvent *event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    // The close control only minimises the container; the notes live on.
    event->ignore();
    showMinimized();
}

void form_Main::bringBack()
{
    // A container closed with its close control sits minimised; showing it alone would leave it so, and without a
    // task bar there is no other way back to it. Hidden since, it still carries the minimised hint for its next map.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    platform::clearMinimisedHint(this);
    show();
    raise();
    activateWindow();
}

void form_Main::Unload()
{
    m_unloading = true;
    close();
    m_unloading = false;
}

void form_Main::hideNotesForExit()
{
    m_shownAtExit.clear();
    for (int i = 1; i <= NoteStore().count(); ++i) {
        if (NoteStore().record(i)->visible)
            m_shownAtExit.append(NoteStore().entry(i)->id);
        NoteStore().hide(i);
    }
}

void form_Main::showNotesAfterExit()
{
    for (int i = 1; i <= NoteStore().count(); ++i)
        if (m_shownAtExit.contains(NoteStore().entry(i)->id))
            NoteStore().show(i);
    m_shownAtExit.clear();
}

void form_Main::placeNewNote(NoteRecord &note)
{
    // Where the Control center stays open, the note goes where it covers neither it nor the container.
    std::optional<QPoint> at;
    if (const QWidget *home = homeWindow(); home && home->isVisible() && home->screen()) {
        QList<QRect> taken{home->frameGeometry()};
        if (isVisible())
            taken.append(frameGeometry());
        const QSize size(toPixels(note.width), toPixels(note.height));
        if (const auto spot = spotBeside(taken, size, home->screen()->availableGeometry()))
            at = QPoint(toTwips(spot->x()), toTwips(spot->y()));
    }
    QList<NoteRecord> existing;
    for (int i = 1; i <= NoteStore().count(); ++i)
        existing.append(*NoteStore().record(i));
    PlaceAsNewNote(note, screenTwips(), existing, at);
}

int form_Main::createNote(NoteRecord record, const QString &titleTip)
{
    Settings().cntNote += 1;
    Settings().totNote += 1;
    PlaySound(QStringLiteral("new.wav"));
    placeNewNote(record);
    record.created = stampNow();
    const int index = NoteStore().append(record);
    NoteStore().entry(index)->titleTip = titleTip;
    return index;
}

void form_Main::image_NewNote_Click()
{
    if (NoteStore().count() >= MaxNotes) {
        platform::showMessage(QStringLiteral("There is a limit of max 40 notes. You have to delete some notes....."),
                              QStringLiteral("Info"), platform::MsgIcon::Information);
        return;
    }
    NoteRecord record;
    record.width = 1710;
    record.height = 1320;
    record.oldWidth = record.width;
    record.oldHeight = record.height;
    const int index = createNote(record, QString());
    form_Note *note = ShowNote(index);
    // Asked for by the user: it takes the keyboard, ready for its text.
    if (note) {
        note->raise();
        note->activateWindow();
        note->label_Display_Click();
    }
    saveSettings(); // the note counters
    addRow(index, NoteRows::NewDotOffset);
    Form_Resize();
    SetBackgroundOnPicture();
    applySearch();
    SaveAllNotes();
}

void form_Main::NewNote_Click(const QString &text, bool alarmOn, const QString &title, const QString &alarmDate,
                              const QString &alarmRepeat, const QString &alarmTime, const QString &alarmTip)
{
    NoteRecord record;
    record.width = 1710;
    record.height = 1320;
    record.oldWidth = record.width;
    record.oldHeight = record.height;
    record.text = text;
    record.title = title;
    record.alarmDate = alarmDate;
    record.alarmRepeat = alarmRepeat;
    record.alarmTime = alarmTime;
    const int index = createNote(record, u"Received : " + formatDate(platform::Clock::now().date()) + u"   " +
                                             formatTime(platform::Clock::now().time()));
    NoteEntry *note = NoteStore().entry(index);
    note->alarmShown = alarmOn;
    note->alarmTip = alarmTip;
    NoteStore().show(index);
    addRow(index, NoteRows::NewDotOffset);
    setRowAlarm(index, alarmOn, alarmTip);
    Form_Resize();
    SetBackgroundOnPicture();
    applySearch(); // a received note that matches shows in the search's rows
    SaveAllNotes();
}

void form_Main::label_NoteText_Click(int index)
{
    NoteRecord *r = NoteStore().record(index);
    if (!r)
        return;
    const QRect screen = screenTwips();
    const bool away = r->top > screen.height() || r->left > screen.width();
    form_Note *note = ShowNote(index);
    if (away)
        note->moveTwips((screen.width() - r->width) / 2, (screen.height() - r->height) / 2);
    note->raise();
    if (isCollapsed(*r))
        note->expand();
    note->setFlash(true);
    m_blinkIndex = index;
    timer_Blink.start();
}

void form_Main::timer_Blink_Timer()
{
    if (form_Note *note = NoteWindow(m_blinkIndex))
        note->setFlash(false);
    timer_Blink.stop();
}

void form_Main::image_Dot_Click(int index)
{
    m_menuNote = index;
    for (QAction *action : std::as_const(m_rowItems))
        action->setEnabled(true);
    menu_PopMenu->popup(QCursor::pos());
}

void form_Main::contextMenuEvent(QContextMenuEvent *event)
{
    // Off a row's dot the menu offers only what is about all the notes: an empty container still reaches its backups.
    m_menuNote = 0;
    for (QAction *action : std::as_const(m_rowItems))
        action->setEnabled(false);
    menu_PopMenu->popup(event->globalPos());
}

void form_Main::menu_Hide_Click()
{
    NoteStore().hide(m_menuNote);
}

void form_Main::menu_Erase_Click()
{
    const int index = m_menuNote;
    if (NoteStore().entry(index)) {
        DeleteNote(index, false);
        PlaySound(QStringLiteral("trash.wav"));
    }
}

void form_Main::menu_Alarm_Click()
{
    const int index = m_menuNote;
    if (NoteStore().entry(index))
        Q_EMIT NoteStore().alarmEditorWanted(index);
}

void form_Main::menu_SendToNetUser_Click()
{
    const int index = m_menuNote;
    if (NoteStore().entry(index))
        Q_EMIT NoteStore().sendDialogWanted(index);
}

void form_Main::allNotes(QToolButton *front, QToolButton *back, void (*act)(int index), bool &setting, bool value)
{
    front->show();
    back->hide();
    for (int i = 1; i <= NoteStore().count(); ++i)
        act(i);
    setting = value;
    saveSettings();
    SaveAllNotes();
}

void form_Main::image_HideAll_Click()
{
    allNotes(
        image_ShowAll, image_HideAll, [](int index) { NoteStore().hide(index); }, Settings().NotesAllHidden, true);
}

void form_Main::image_ShowAll_Click()
{
    allNotes(
        image_HideAll, image_ShowAll, [](int index) { NoteStore().show(index); }, Settings().NotesAllHidden, false);
}

void form_Main::image_Minimize_Click()
{
    allNotes(
        image_Maximize, image_Minimize, [](int index) { NoteStore().setCollapsed(index, true); },
        Settings().NotesAllMinimized, true);
}

void form_Main::image_Maximize_Click()
{
    allNotes(
        image_Minimize, image_Maximize, [](int index) { NoteStore().setCollapsed(index, false); },
        Settings().NotesAllMinimized, false);
}

void form_Main::text_Search_Change()
{
    applySearch();
    VScroll1->setValue(0);
}

void form_Main::applySearch()
{
    const NoteSearch search(text_Search->text());
    if (search.isEmpty()) {
        Picture2->setFilter(std::nullopt);
        return;
    }
    std::vector<int> shown;
    for (int index = 1; index <= NoteStore().count(); ++index)
        if (search.matches(NoteStore().record(index)->text))
            shown.push_back(index);
    Picture2->setFilter(std::move(shown));
}

void form_Main::text_Search_Return()
{
    if (Picture2->filtered() && Picture2->shownCount() > 0)
        label_NoteText_Click(Picture2->shownRow(1));
}

void form_Main::text_Search_Escape()
{
    text_Search->clear();
}

void form_Main::menu_RestoreNotes_Click()
{
    if (!m_restore)
        m_restore = new form_RestoreNotes(this);
    m_restore->setAttribute(Qt::WA_DeleteOnClose);
    m_restore->Form_Load();
    m_restore->show();
    m_restore->raise();
    m_restore->activateWindow();
}

namespace {

const QString TextFilter = QStringLiteral("Readable text (*.txt)");
const QString NotesFilter = QStringLiteral("Notes file for another computer (*.dat)");

// Qt's own dialog, not the desktop's: its questions are none of the suite's boxes, so it asks none (the caller does,
// through the suite's boxes) and tests drive it as any window.
QFileDialog *fileDialog(QWidget *parent, const QString &name, const QString &title)
{
    auto *dialog = new QFileDialog(parent, title);
    dialog->setObjectName(name);
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setDirectory(QDir::homePath());
    return dialog;
}

} // namespace

void form_Main::menu_ExportNotes_Click()
{
    QFileDialog *dialog = fileDialog(this, QStringLiteral("dialog_ExportNotes"), QStringLiteral("Export notes"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters({TextFilter, NotesFilter});
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString &filter) {
        dialog->setDefaultSuffix(filter == NotesFilter ? QStringLiteral("dat") : QStringLiteral("txt"));
    });
    connect(dialog, &QFileDialog::finished, this, [dialog](int answer) {
        const QString path = dialog->selectedFiles().value(0);
        if (answer != QDialog::Accepted || path.isEmpty())
            return;
        const QString title = QStringLiteral("Export notes");
        if (QFileInfo(path).isFile() &&
            platform::showMessage(QStringLiteral("%1 already exists. Replace it?").arg(path), title,
                                  platform::MsgIcon::Question, platform::MsgButtons::YesNo,
                                  platform::MsgAnswer::No) != platform::MsgAnswer::Yes)
            return;
        // The name typed says the form where it can ("notes.dat"), else the filter chosen does.
        const QString suffix = QFileInfo(path).suffix().toLower();
        const bool notesFile = suffix == u"dat" || (suffix != u"txt" && dialog->selectedNameFilter() == NotesFilter);
        const ExportForm form = notesFile ? ExportForm::NotesFile : ExportForm::Text;
        const TransferResult result = ExportNotes(CurrentNoteRecords(), path, form);
        platform::showMessage(result.message, title,
                              result.ok ? platform::MsgIcon::Information : platform::MsgIcon::Exclamation);
    });
    dialog->show();
}

void form_Main::menu_ImportNotes_Click()
{
    QFileDialog *dialog = fileDialog(this, QStringLiteral("dialog_ImportNotes"), QStringLiteral("Import notes"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters(
        {QStringLiteral("Exported notes and notes files (*.txt *.dat)"), QStringLiteral("All files (*)")});
    connect(dialog, &QFileDialog::finished, this, [dialog](int answer) {
        const QString path = dialog->selectedFiles().value(0);
        if (answer != QDialog::Accepted || path.isEmpty())
            return;
        const QString title = QStringLiteral("Import notes");
        QList<NoteRecord> notes;
        const TransferResult found = ReadNotesToImport(path, notes);
        if (!found.ok || notes.isEmpty()) {
            platform::showMessage(found.ok ? ImportDone(found, 0) : found.message, title,
                                  found.ok ? platform::MsgIcon::Information : platform::MsgIcon::Exclamation);
            return;
        }
        // "Found 3 notes in FILE." becomes the question.
        const QString question = found.message.chopped(1) +
                                 (notes.size() == 1 ? QStringLiteral("; add it?") : QStringLiteral("; add them?"));
        if (platform::showMessage(question, title, platform::MsgIcon::Question, platform::MsgButtons::YesNo,
                                  platform::MsgAnswer::Yes) != platform::MsgAnswer::Yes)
            return;
        // The box let events run: a start reading its notes now would have them replaced.
        if (NoteStore().reading)
            platform::showMessage(QStringLiteral("Tarnibe is reading its notes; try again once it has started."), title,
                                  platform::MsgIcon::Exclamation);
        else
            AddImportedNotes(notes, screenTwips());
    });
    dialog->show();
}
