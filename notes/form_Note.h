// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"
#include "notes/NoteStore.h"

#include <QPolygon>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class ClickableLabel;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;

// One shown sticky note on the desktop: a frameless light-yellow window that shows its record, and changes it when
// the user drags, resizes, collapses, edits or restyles the note. The table makes it when the note is shown.
class form_Note : public QWidget, public NoteView {
    Q_OBJECT
public:
    form_Note(std::shared_ptr<NoteEntry> note, int index, QWidget *parent = nullptr);

    NoteRecord &record() { return m_note; }
    const NoteRecord &record() const { return m_note; }
    int index() const override { return m_index; }
    void setIndex(int index) override;
    QObject *object() override { return this; }
    void showNote() override { show(); }
    void hideNote() override { hide(); }
    bool isNoteShown() const override { return isVisible(); }

    // Puts the record's geometry on screen; sizes below the collapsed tab are raised as the user's would be.
    void setGeometryTwips(int left, int top, int width, int height);
    void moveTwips(int left, int top);
    // Shows the record's alarm on the alarm icon: visible unless the repeat is "-1", with its tooltip.
    void showAlarm();
    // A received note's alarm icon: shown as the sender had it, with the sender's tooltip.
    void showAlarm(bool visible, const QString &tip) override;
    void setCreated(const QString &created);
    void setTitleTip(const QString &tip);
    // Turns the light-yellow background white (a flash) or back.
    void setFlash(bool white);
    bool isEditing() const;
    // What the note shows now, edits not yet ended included, with CR LF line breaks.
    QString currentText() const override;
    // Puts text still being typed into the record, so that a save never loses it; editing goes on.
    void takeTypedText() override;
    // Ends an edit: the typed text goes into the record and the row, and is saved.
    void endEditing() override;
    void collapse() override;
    void expand() override;
    // The note was deleted: the window stops what it had begun, hides and goes once the event in hand is over.
    void discard() override;
    int inset() const { return m_inset; }

    // The five points of the window's region, in pixels.
    QPolygon CalcRgnPoints() const;

    void image_Resize_MouseMove();
    void label_Display_Click();
    void menu_Send_Click();

    static constexpr std::array<int, 6> FontSizes = NoteFontSizes;
    // The edit box's text with each typed double quote turned into a single one.
    static QChar typedCharacter(QChar c) { return c == u'"' ? QChar(u'\'') : c; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void image_Menu_DblClick();
    void image_Menu_Click();
    void image_MakeBig_MouseDown();
    void image_MakeBig_MouseUp();
    void menu_Size_Click(int index);
    void menu_OnTop_Click();
    void menu_Print_Click();
    void menu_SendNoteToContainer_Click();
    void menu_Alarm_Click();
    void menu_Trash_Click();
    void timer_Click_Timer();
    void timer_Focus_Timer();
    void timer_Resize_Timer();
    void timer_Save_Timer();

    void printFailed(const QString &why);
    void buildWindow();
    void CalcRegion();
    void applySizeToWindow();
    void layoutControls();
    QPlainTextEdit *editor();
    QMenu *noteMenu();
    // The editor's text, or the record's where there is no editor yet, with LF line breaks.
    QString editorText() const;
    void setBackground(const QColor &colour);
    void updateTooltips();
    void startSystemMove();
    void armMove(const QPoint &globalPos);
    // Moves the note with a pressed pointer once it has travelled; true when the event went to the move.
    bool followPointer(const QMouseEvent *event);
    // The button is up: a move that was under way is over, and saved.
    void endDrag();

    std::shared_ptr<NoteEntry> m_keep;
    NoteEntry &m_entry;
    NoteRecord &m_note;
    int m_index;
    int m_inset = 3;
    bool m_applying = false;
    // A press that may become a move, where it was, and whether the last press did become one.
    QPoint m_pressAt;
    QPoint m_windowAtPress;
    bool m_moveArmed = false;
    bool m_dragging = false;
    bool m_peeking = false;
    bool m_moved = false;
    std::optional<QPoint> m_textPressAt;

    QLabel *label_C1 = nullptr;
    ClickableLabel *image_Menu = nullptr;
    ClickableLabel *image_Alarm = nullptr;
    ClickableLabel *image_MakeBig = nullptr;
    ClickableLabel *image_Resize = nullptr;
    // The editor, made by editor() when the note is first edited.
    QPlainTextEdit *text_NoteInput = nullptr;
    ClickableLabel *label_Display = nullptr;
    QMenu *menu_NoteMenu = nullptr;
    std::array<QAction *, 6> menu_Size{};
    QAction *menu_OnTop = nullptr;
    QTimer timer_Click;
    QTimer timer_Focus;
    QTimer timer_Resize;
    // Saves a change a moment after the last of a run of them (keystrokes, the steps of a move).
    QTimer timer_Save;
};

// The note's light yellow, the editing yellow and the flash white.
inline const QColor NoteYellow(0xFF, 0xFF, 0x80);
inline const QColor EditYellow(0xFF, 0xFF, 0x00);
