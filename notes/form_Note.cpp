// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/form_Note.h"

#include "core/ClickableLabel.h"
#include "core/DateText.h"
#include "core/ErrorLog.h"
#include "core/Sound.h"
#include "core/Twips.h"
#include "notes/NoteIcons.h"
#include "notes/NoteStore.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Printing.h"
#include "platform/TextFiles.h"
#include "platform/WindowFlags.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>
#include <QWindow>

namespace {
// The sizing frame drawn around a note; the region hides all but `inset` pixels less of it.
constexpr int FrameX = 4;
constexpr int FrameY = 4;
constexpr int TextTop = 15;
} // namespace

form_Note::form_Note(std::shared_ptr<NoteEntry> note, int index, QWidget *parent)
    // An ordinary top-level window, not a tool window: window managers keep tool windows transient for the
    // program's hidden leader above all of its other windows, and KWin hides them whenever another program is
    // active. Kept off the task bar by hand instead (see showEvent).
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_keep(std::move(note)), m_entry(*m_keep),
      m_note(m_entry.record), m_index(index)
{
    setObjectName(QStringLiteral("form_Note"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildWindow();
    timer_Click.setInterval(200);
    timer_Click.setSingleShot(true);
    timer_Focus.setInterval(250);
    timer_Resize.setInterval(2000);
    timer_Save.setInterval(1000);
    timer_Save.setSingleShot(true);
    connect(&timer_Click, &QTimer::timeout, this, &form_Note::timer_Click_Timer);
    connect(&timer_Focus, &QTimer::timeout, this, &form_Note::timer_Focus_Timer);
    connect(&timer_Resize, &QTimer::timeout, this, &form_Note::timer_Resize_Timer);
    connect(&timer_Save, &QTimer::timeout, this, &form_Note::timer_Save_Timer);

    setWindowTitle(QStringLiteral("Note"));
    label_Display->setText(platform::withLf(m_note.text));
    label_C1->setText(m_note.title);
    updateTooltips();
    showAlarm(m_entry.alarmShown, m_entry.alarmTip);
    applySizeToWindow();
    if (m_entry.onTop)
        platform::setAlwaysOnTop(this, true);
}

void form_Note::buildWindow()
{
    setAutoFillBackground(true);
    setBackground(NoteYellow);
    setMinimumSize(1, 1);

    label_C1 = new QLabel(this);
    label_C1->setObjectName(QStringLiteral("label_C1"));
    label_C1->setGeometry(34, 1, 560, 12);
    QFont small = label_C1->font();
    small.setPointSize(6);
    label_C1->setFont(small);
    // A palette, not a style sheet: a style sheet gives every note a style object of its own.
    QPalette grey = label_C1->palette();
    grey.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    label_C1->setPalette(grey);
    label_C1->installEventFilter(this);

    const auto picture = [this](const char *name, const QPixmap &pixmap, QPoint at) {
        auto *label = new ClickableLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setPixmap(pixmap);
        label->setGeometry(QRect(at, pixmap.size()));
        return label;
    };
    image_Menu = picture("image_Menu", NoteIcons::menu(), {1, 0});
    image_Alarm = picture("image_Alarm", NoteIcons::alarm(), {17, 1});
    // Clear of the tab's edges, which its region cuts one pixel deeper than a note's (see layoutControls).
    image_MakeBig = picture("image_MakeBig", NoteIcons::makeBig(), {16, 4});
    image_MakeBig->hide();
    image_Resize = picture("image_Resize", NoteIcons::resize(), {0, 0});
    image_Resize->setMouseTracking(true);
    image_Resize->setCursor(Qt::SizeFDiagCursor);
    connect(image_Menu, &ClickableLabel::clicked, this, &form_Note::image_Menu_Click);
    connect(image_Menu, &ClickableLabel::doubleClicked, this, &form_Note::image_Menu_DblClick);
    image_Menu->installEventFilter(this);
    connect(image_Alarm, &ClickableLabel::clicked, this,
            [this] { Q_EMIT NoteStore().alarmIconClicked(m_index, true); });
    connect(image_MakeBig, &ClickableLabel::pressed, this, &form_Note::image_MakeBig_MouseDown);
    connect(image_MakeBig, &ClickableLabel::released, this, &form_Note::image_MakeBig_MouseUp);
    connect(image_Resize, &ClickableLabel::mouseMoved, this, &form_Note::image_Resize_MouseMove);
    connect(image_Resize, &ClickableLabel::pressed, this, [this] {
        if (QWindow *window = windowHandle())
            window->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
    });

    label_Display = new ClickableLabel(this);
    label_Display->setObjectName(QStringLiteral("label_Display"));
    label_Display->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_Display->setWordWrap(true);
    label_Display->setTextFormat(Qt::PlainText);
    label_Display->setAutoFillBackground(true);
    label_Display->move(5, TextTop);
    label_Display->installEventFilter(this);
    connect(label_Display, &ClickableLabel::clicked, this, &form_Note::label_Display_Click);

    QFont font = label_Display->font();
    font.setPointSize(m_note.fontSize);
    label_Display->setFont(font);
    // While the user peeks, the held magnifier stays whole above the text.
    image_MakeBig->raise();
}

QMenu *form_Note::noteMenu()
{
    // Made when first opened, with the check marks of the note as it is then.
    if (menu_NoteMenu)
        return menu_NoteMenu;
    menu_NoteMenu = new QMenu(this);
    menu_NoteMenu->setObjectName(QStringLiteral("menu_NoteMenu"));
    const auto item = [this](QMenu *menu, const char *name, const QString &caption, void (form_Note::*handler)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    item(menu_NoteMenu, "menu_SendNoteToContainer", QStringLiteral("&Hide the note"),
         &form_Note::menu_SendNoteToContainer_Click);
    item(menu_NoteMenu, "menu_Alarm", QStringLiteral("S&et alarmtime"), &form_Note::menu_Alarm_Click);
    menu_NoteMenu->addSeparator();
    QMenu *fontSize = menu_NoteMenu->addMenu(QStringLiteral("&Font size..."));
    fontSize->setObjectName(QStringLiteral("menu_FontSize"));
    for (int i = 0; i < 6; ++i) {
        menu_Size[size_t(i)] = fontSize->addAction(QString::number(FontSizes[size_t(i)]) + u" p");
        menu_Size[size_t(i)]->setObjectName(u"menu_Size" + QString::number(i));
        menu_Size[size_t(i)]->setCheckable(true);
        connect(menu_Size[size_t(i)], &QAction::triggered, this, [this, i] { menu_Size_Click(i); });
    }
    for (size_t i = 0; i < menu_Size.size(); ++i)
        menu_Size[i]->setChecked(FontSizes[i] == m_note.fontSize);
    menu_NoteMenu->addSeparator();
    menu_OnTop = item(menu_NoteMenu, "menu_OnTop", QStringLiteral("&Always on top"), nullptr);
    menu_OnTop->setCheckable(true);
    menu_OnTop->setChecked(m_entry.onTop);
    // The handler decides the check mark itself, from the state before the click.
    connect(menu_OnTop, &QAction::triggered, this, [this] {
        menu_OnTop_Click();
        menu_OnTop->setChecked(m_entry.onTop);
    });
    item(menu_NoteMenu, "menu_Print", QStringLiteral("&Print"), &form_Note::menu_Print_Click);
    menu_NoteMenu->addSeparator();
    item(menu_NoteMenu, "menu_Send", QStringLiteral("&Send to user on the net -->"), &form_Note::menu_Send_Click);
    item(menu_NoteMenu, "menu_Trash", QStringLiteral("&Delete the note"), &form_Note::menu_Trash_Click);

    return menu_NoteMenu;
}

QPlainTextEdit *form_Note::editor()
{
    // Made when the note is first edited: most notes are only read, and an editor is the larger part of a note.
    if (!text_NoteInput) {
        text_NoteInput = new QPlainTextEdit(this);
        text_NoteInput->setObjectName(QStringLiteral("text_NoteInput"));
        text_NoteInput->setFrameShape(QFrame::NoFrame);
        text_NoteInput->hide();
        text_NoteInput->installEventFilter(this);
        text_NoteInput->setFont(label_Display->font());
        text_NoteInput->setPlainText(platform::withLf(m_note.text));
        // A click on the empty desktop takes the focus from no one: the text is saved once typing pauses, not only
        // when the note loses the focus.
        connect(text_NoteInput, &QPlainTextEdit::textChanged, &timer_Save, qOverload<>(&QTimer::start));
        // The grip in the corner stays above the text: a note being typed in is resized as any other.
        image_Resize->raise();
        layoutControls();
    }
    return text_NoteInput;
}

QString form_Note::editorText() const
{
    return text_NoteInput ? text_NoteInput->toPlainText() : platform::withLf(m_note.text);
}

void form_Note::setIndex(int index)
{
    m_index = index;
}

void form_Note::updateTooltips()
{
    label_C1->setToolTip(m_entry.titleTip);
    image_Menu->setToolTip(u"Created: " + m_note.created);
}

void form_Note::showAlarm()
{
    showAlarm(m_note.alarmRepeat != u"-1", m_note.alarmDate + u"  " + m_note.alarmTime);
}

void form_Note::showAlarm(bool visible, const QString &tip)
{
    m_entry.alarmShown = visible;
    m_entry.alarmTip = tip;
    image_Alarm->setToolTip(tip);
    // A collapsed note's tab has room for its magnifier only.
    image_Alarm->setVisible(visible && !isCollapsed(m_note));
}

QString form_Note::currentText() const
{
    return platform::withCrLf(editorText());
}

void form_Note::takeTypedText()
{
    if (isEditing())
        m_note.text = currentText();
}

void form_Note::setCreated(const QString &created)
{
    m_note.created = created;
    image_Menu->setToolTip(u"Created: " + created);
}

void form_Note::setTitleTip(const QString &tip)
{
    m_entry.titleTip = tip;
    label_C1->setToolTip(tip);
}

void form_Note::setBackground(const QColor &colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    if (label_Display) {
        QPalette labelPalette = label_Display->palette();
        labelPalette.setColor(QPalette::Window, colour);
        label_Display->setPalette(labelPalette);
    }
}

void form_Note::setFlash(bool white)
{
    setBackground(white ? QColor(Qt::white) : NoteYellow);
}

bool form_Note::isEditing() const
{
    return text_NoteInput && text_NoteInput->isVisibleTo(this);
}

void form_Note::setGeometryTwips(int left, int top, int width, int height)
{
    placeNote(m_note, left, top, width, height);
    applySizeToWindow();
}

void form_Note::moveTwips(int left, int top)
{
    m_note.left = left;
    m_note.top = top;
    m_applying = true;
    move(toPixels(left), toPixels(top));
    m_applying = false;
}

void form_Note::applySizeToWindow()
{
    m_applying = true;
    setGeometry(toPixels(m_note.left), toPixels(m_note.top), toPixels(m_note.width), toPixels(m_note.height));
    m_applying = false;
    m_inset = isCollapsed(m_note) || m_note.width == CollapsedWidth || m_note.height == CollapsedHeight
                  ? 4
                  : (m_inset == 0 ? 0 : 3);
    layoutControls();
    CalcRegion();
}

QPolygon form_Note::CalcRgnPoints() const
{
    const int w = width() - 2 * FrameX;
    const int h = height() - FrameY - FrameX;
    const int right = w + 2 * FrameX - m_inset;
    const int bottom = h + FrameY + FrameX - m_inset;
    return QPolygon({QPoint(m_inset, m_inset), QPoint(right, m_inset), QPoint(right, bottom), QPoint(m_inset, bottom),
                     QPoint(m_inset, m_inset)});
}

void form_Note::CalcRegion()
{
    QPolygon points = CalcRgnPoints();
    points.removeLast(); // the region takes the four corners
    setMask(QRegion(points));
}

void form_Note::layoutControls()
{
    const int w = width();
    const int h = height();
    if (text_NoteInput) {
        text_NoteInput->setFixedWidth(qMax(1, w - 2 * FrameX));
        text_NoteInput->move(FrameX, TextTop);
        if (h - TextTop - 6 > 0)
            text_NoteInput->setFixedHeight(h - TextTop - 6);
    }
    if (w - 15 > 0)
        label_Display->setFixedWidth(w - 15);
    if (h - TextTop - 6 > 0)
        label_Display->setFixedHeight(h - TextTop - 6);
    image_Resize->move(w - image_Resize->width() - 2, h - image_Resize->height() - 2);
    const bool collapsed = isCollapsed(m_note);
    // The tab's region leaves out four pixels at each edge, a note's three: the menu icon goes down by the
    // difference, or the tab would cut off the top of its first line.
    image_Menu->move(1, collapsed && !m_peeking ? 1 : 0);
    // While the user peeks, the magnifier under the held button stays: hiding it would end the press it holds.
    image_MakeBig->setVisible(collapsed || m_peeking);
    image_Resize->setVisible(!collapsed && !m_peeking);
    label_Display->setVisible(!collapsed && !(text_NoteInput && text_NoteInput->isVisible()));
    label_C1->setVisible(!collapsed);
    image_Alarm->setVisible(m_entry.alarmShown && !collapsed);
}

void form_Note::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_applying)
        return;
    // The user resized the window: the model follows unless the window still shows the model's size.
    if (toPixels(m_note.width) != width())
        m_note.width = toTwips(width());
    if (toPixels(m_note.height) != height())
        m_note.height = toTwips(height());
    if (isVisible())
        m_inset = (m_note.width == CollapsedWidth || m_note.height == CollapsedHeight) ? 4 : (m_inset == 0 ? 0 : 3);
    if (m_note.width < CollapsedWidth)
        m_note.width = CollapsedWidth + 1;
    if (m_note.height < CollapsedHeight)
        m_note.height = CollapsedHeight + 1;
    if (!isCollapsed(m_note)) {
        m_note.oldWidth = m_note.width;
        m_note.oldHeight = m_note.height;
    }
    layoutControls();
    CalcRegion();
    // A resize through the window manager, as a move: saved once it stops.
    if (isVisible())
        timer_Save.start();
}

void form_Note::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_applying)
        return;
    const bool moved = toPixels(m_note.left) != x() || toPixels(m_note.top) != y();
    if (toPixels(m_note.left) != x())
        m_note.left = toTwips(x());
    if (toPixels(m_note.top) != y())
        m_note.top = toTwips(y());
    // The window manager's move ends with no release reaching the note: the place is saved once the moves stop.
    if (moved && isVisible())
        timer_Save.start();
}

void form_Note::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Before the window is mapped (and again at every show: the window manager drops the state at a hide).
    if (!event->spontaneous())
        platform::keepOffTaskbar(this);
    m_note.visible = true;
    CalcRegion();
}

void form_Note::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        m_note.visible = false;
        NoteStore().releaseLater(this);
    }
}

void form_Note::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // The sizing frame: mostly cut away by the region, whole while the user resizes.
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 190, 90));
    const QRect r = rect();
    painter.drawRect(QRect(0, 0, r.width(), FrameY));
    painter.drawRect(QRect(0, r.height() - FrameX, r.width(), FrameX));
    painter.drawRect(QRect(0, 0, FrameX, r.height()));
    painter.drawRect(QRect(r.width() - FrameX, 0, FrameX, r.height()));
}

void form_Note::startSystemMove()
{
    if (QWindow *window = windowHandle())
        window->startSystemMove();
}

void form_Note::armMove(const QPoint &globalPos)
{
    m_pressAt = globalPos;
    m_windowAtPress = pos();
    m_moveArmed = true;
    m_dragging = false;
    m_moved = false;
}

bool form_Note::followPointer(const QMouseEvent *event)
{
    if (!(m_moveArmed || m_dragging) || !(event->buttons() & Qt::LeftButton))
        return false;
    const QPoint travel = event->globalPosition().toPoint() - m_pressAt;
    if (!m_dragging) {
        // A click must stay a click: the note moves only once the hand has clearly moved.
        if (travel.manhattanLength() < QApplication::startDragDistance())
            return false;
        m_moveArmed = false;
        m_moved = true;
        // Wayland places no window but through the compositor's own move.
        if (QGuiApplication::platformName() != u"xcb") {
            startSystemMove();
            return true;
        }
        // On X11 the note follows the pointer itself. The window manager's move would take the pointer where it is
        // once the hand has travelled, and leave the note that travel short of it; and it ends with no release to
        // the note, which could then not tell that the move was over.
        m_dragging = true;
    }
    move(m_windowAtPress + travel);
    return true;
}

void form_Note::endDrag()
{
    m_moveArmed = false;
    if (!m_dragging)
        return;
    m_dragging = false;
    timer_Save.stop();
    SaveAllNotes();
}

void form_Note::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint p = event->position().toPoint();
    // With the frame uncovered its edges resize the note; elsewhere the background drags it.
    if (m_inset == 0) {
        Qt::Edges edges;
        if (p.x() < FrameX)
            edges |= Qt::LeftEdge;
        if (p.x() >= width() - FrameX)
            edges |= Qt::RightEdge;
        if (p.y() < FrameY)
            edges |= Qt::TopEdge;
        if (p.y() >= height() - FrameX)
            edges |= Qt::BottomEdge;
        if (edges && windowHandle()) {
            windowHandle()->startSystemResize(edges);
            return;
        }
    }
    armMove(event->globalPosition().toPoint());
}

void form_Note::mouseMoveEvent(QMouseEvent *event)
{
    if (!followPointer(event))
        QWidget::mouseMoveEvent(event);
}

void form_Note::mouseReleaseEvent(QMouseEvent *event)
{
    endDrag();
    QWidget::mouseReleaseEvent(event);
}

void form_Note::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        image_Menu_DblClick();
}

bool form_Note::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && (watched == image_Menu || watched == label_Display))
        m_moved = false;
    // The drag bar, the text and a collapsed note's menu icon move the note once the pointer travels.
    const bool dragSource =
        watched == label_C1 || watched == label_Display || (watched == image_Menu && isCollapsed(m_note));
    if (dragSource && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove ||
                       event->type() == QEvent::MouseButtonRelease)) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            armMove(mouse->globalPosition().toPoint());
            if (watched == label_Display)
                m_textPressAt = mouse->globalPosition().toPoint();
            // The bar does nothing else with a press; the labels go on to make their clicks.
            return watched == label_C1;
        }
        if (event->type() == QEvent::MouseMove)
            return followPointer(mouse);
        endDrag();
        return false;
    }
    if (watched == text_NoteInput && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->text() == u"\"") {
            text_NoteInput->insertPlainText(QString(typedCharacter(u'"')));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void form_Note::image_Menu_DblClick()
{
    timer_Click.stop();
    isExpanded(m_note) ? collapse() : expand();
}

void form_Note::discard()
{
    // An edit or a menu still pending would write into a row that is now another note's.
    timer_Click.stop();
    timer_Focus.stop();
    timer_Resize.stop();
    timer_Save.stop();
    m_index = 0;
    hide();
    deleteLater();
}

void form_Note::collapse()
{
    collapseNote(m_note);
    m_inset = 4;
    applySizeToWindow();
}

void form_Note::expand()
{
    expandNote(m_note);
    m_inset = 3;
    applySizeToWindow();
}

void form_Note::image_Menu_Click()
{
    if (m_moved)
        return;
    if (isExpanded(m_note))
        timer_Click.start();
}

void form_Note::timer_Click_Timer()
{
    timer_Click.stop();
    noteMenu()->popup(QCursor::pos());
}

void form_Note::image_MakeBig_MouseDown()
{
    // Peek: the full note, moved in where it would leave the screen; the model keeps the tab.
    const QRect screen = screenTwips();
    int left = m_note.left;
    int top = m_note.top;
    if (left + m_note.oldWidth > screen.width())
        left = screen.width() - m_note.oldWidth;
    if (top + m_note.oldHeight > screen.height())
        top = screen.height() - m_note.oldHeight;
    m_note.left = left;
    m_note.top = top;
    m_note.width = m_note.oldWidth;
    m_note.height = m_note.oldHeight;
    m_inset = 3;
    m_peeking = true;
    applySizeToWindow();
    label_Display->show();
    label_C1->show();
}

void form_Note::image_MakeBig_MouseUp()
{
    m_peeking = false;
    m_note.width = CollapsedWidth;
    m_note.height = CollapsedHeight;
    m_inset = 4;
    applySizeToWindow();
}

void form_Note::image_Resize_MouseMove()
{
    if (isVisible() && m_inset == 3) {
        m_inset = 0;
        CalcRegion();
        update();
        // Runs only while the frame is uncovered, so idle notes cost no wake-ups.
        timer_Resize.start();
    }
}

void form_Note::timer_Resize_Timer()
{
    timer_Resize.stop();
    if (isVisible() && m_inset == 0) {
        m_inset = 3;
        CalcRegion();
    }
}

void form_Note::label_Display_Click()
{
    if (m_moved)
        return;
    label_Display->setText(QString());
    label_Display->hide();
    editor()->show();
    // The caret goes where the text was clicked, and to the end for a click below the last line, as in any editor.
    QTextCursor caret(text_NoteInput->document());
    caret.movePosition(QTextCursor::End);
    if (m_textPressAt) {
        const QPoint at = text_NoteInput->viewport()->mapFromGlobal(*m_textPressAt);
        if (at.y() <= text_NoteInput->cursorRect(caret).bottom())
            caret = text_NoteInput->cursorForPosition(at);
        m_textPressAt.reset();
    }
    text_NoteInput->setTextCursor(caret);
    text_NoteInput->setFocus();
    timer_Focus.start();
    setBackground(EditYellow);
}

void form_Note::timer_Focus_Timer()
{
    if (QApplication::activeWindow() == this)
        return;
    endEditing();
}

void form_Note::timer_Save_Timer()
{
    if (isEditing()) {
        m_note.text = currentText();
        Q_EMIT NoteStore().textChanged(m_index);
    }
    SaveAllNotes();
}

void form_Note::endEditing()
{
    if (!isEditing())
        return;
    label_Display->show();
    text_NoteInput->hide();
    timer_Focus.stop();
    timer_Save.stop();
    setBackground(NoteYellow);
    m_note.text = currentText();
    label_Display->setText(text_NoteInput->toPlainText());
    Q_EMIT NoteStore().textChanged(m_index);
    SaveAllNotes();
}

void form_Note::menu_Size_Click(int index)
{
    if (index < 0 || index >= int(FontSizes.size()))
        return;
    if (menu_NoteMenu)
        for (size_t i = 0; i < menu_Size.size(); ++i)
            menu_Size[i]->setChecked(int(i) == index);
    m_note.fontSize = FontSizes[size_t(index)];
    for (QWidget *widget : {static_cast<QWidget *>(label_Display), static_cast<QWidget *>(text_NoteInput)}) {
        if (!widget)
            continue;
        QFont font = widget->font();
        font.setPointSize(m_note.fontSize);
        widget->setFont(font);
    }
}

void form_Note::menu_OnTop_Click()
{
    m_entry.onTop = !m_entry.onTop;
    platform::setAlwaysOnTop(this, m_entry.onTop);
    if (!m_entry.onTop)
        CheckAndSetTopMost();
}

void form_Note::menu_Print_Click()
{
    QString why;
    const auto printer = platform::defaultPrinter(&why);
    QPainter painter;
    if (!printer || !painter.begin(printer.get())) {
        printFailed(why.isEmpty() ? QStringLiteral("The printer did not take the page.") : why);
        return;
    }
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    painter.setFont(font);
    const QDateTime now = platform::Clock::now();
    const QString stamp = formatDate(now.date()) + u"  " + QString::number(now.time().hour()) + u':' +
                          QString::asprintf("%02d", now.time().minute());
    const QString page = u"\n\n" + stamp + u'\n' + QString(27, u'-') + u'\n' + QString(27, u' ') + u'\n' + editorText();
    painter.drawText(painter.viewport(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, page);
    if (!painter.end())
        printFailed(QStringLiteral("The printer did not take the page."));
}

void form_Note::printFailed(const QString &why)
{
    // Said, not only logged: a note that silently does not come out of the printer looks printed.
    logError(QStringLiteral("err_Note_menu_Print_Click "), 482, QStringLiteral("Printer error"), why);
    platform::showMessage(QStringLiteral("Could not print the note: ") + why, QStringLiteral("Print"),
                          platform::MsgIcon::Exclamation);
}

void form_Note::menu_SendNoteToContainer_Click()
{
    hide();
}

void form_Note::menu_Send_Click()
{
    Q_EMIT NoteStore().sendDialogWanted(m_index);
}

void form_Note::menu_Alarm_Click()
{
    Q_EMIT NoteStore().alarmEditorWanted(m_index);
}

void form_Note::menu_Trash_Click()
{
    DeleteNote(m_index, false);
    PlaySound(QStringLiteral("trash.wav"));
}
