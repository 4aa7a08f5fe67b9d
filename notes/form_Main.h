// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class NoteRows;
class QAction;
class QLabel;
class QLineEdit;
class form_RestoreNotes;
class QMenu;
class QScrollBar;
class QToolButton;
struct NoteRecord;

// The notes container, "Container": a row per note, buttons for all notes at once, and a menu per row.
class form_Main : public QWidget {
    Q_OBJECT
public:
    // Its rows follow the note table.
    explicit form_Main(QWidget *parent = nullptr);
    ~form_Main() override;

    void Form_Load();
    void CreateLabels();
    void SetBackgroundOnPicture();
    void Form_Resize();
    void image_NewNote_Click();
    void image_HideAll_Click();
    void image_ShowAll_Click();
    void image_Minimize_Click();
    void image_Maximize_Click();
    void label_NoteText_Click(int index);
    void image_Dot_Click(int index);
    void menu_Hide_Click();
    void menu_Erase_Click();
    void menu_Alarm_Click();
    void menu_SendToNetUser_Click();
    // Also on the notes icon's menu: the dated backups, and notes to and from a file.
    void menu_RestoreNotes_Click();
    void menu_ExportNotes_Click();
    void menu_ImportNotes_Click();
    // The search field: the rows narrow to the notes holding every typed word; Enter shows the first, Escape clears.
    void text_Search_Change();
    void text_Search_Return();
    void text_Search_Escape();
    void timer_Blink_Timer();

    // A received note: created with the given fields, no limit on the number of notes.
    void NewNote_Click(const QString &text, bool alarmOn, const QString &title, const QString &alarmDate,
                       const QString &alarmRepeat, const QString &alarmTime, const QString &alarmTip);

    // The row of note `index` shows `text`, or " - empty -".
    void setRowText(int index, const QString &text);
    void showRowAlarm(int index);
    void setRowAlarm(int index, bool visible, const QString &tip);
    QString rowText(int index) const;
    // Forgets every row, before the table is rebuilt from the file.
    void discardRows();
    // Takes one row out; the later ones move up into its place and take the next lower positions.
    void removeRow(int index);
    // The window closes for real (the notes program or the process ends) instead of minimising.
    // Shows the container as it was before it was minimised or hidden, in front.
    void bringBack();
    void Unload();
    // "Exit notes": the notes' windows go, but the notes keep whether they show (in the file too), so that the
    // next start of the notes program shows again those that showed; "Hide all" stays the user's choice alone.
    void hideNotesForExit();
    void showNotesAfterExit();

    int surfaceHeightTwips() const { return m_surfaceHeight; }
    int maxWidthTwips() const { return m_maxWidth; }
    int maxHeightTwips() const { return m_maxHeight; }
    int rowCount() const;
    // The surface the rows are drawn on.
    NoteRows *rows() const { return Picture2; }

    static constexpr int MaxNotes = 40;
    // The search field's height above the rows, in twips.
    static constexpr int SearchHeight = 375;

Q_SIGNALS:
    // Every tick of the alarm timer, which runs as long as the container exists, shown or not.
    void alarmCheckDue();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void buildWindow();
    void addRow(int index, int dotOffset);
    void placeNewNote(NoteRecord &note);
    // A new note at the end of the table, placed, stamped and counted; its position. The caller shows it.
    int createNote(NoteRecord record, const QString &titleTip);
    void updateScrollBars();
    // Rows the table gained or changed: the search decides again which show.
    void applySearch();
    // The four all-notes buttons: swap the pair shown, act on every note, store the choice, save.
    void allNotes(QToolButton *front, QToolButton *back, void (*act)(int index), bool &setting, bool value);

    QWidget *Picture1 = nullptr;
    NoteRows *Picture2 = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QScrollBar *VScroll1 = nullptr;
    QToolButton *image_NewNote = nullptr;
    QToolButton *image_HideAll = nullptr;
    QToolButton *image_ShowAll = nullptr;
    QToolButton *image_Minimize = nullptr;
    QToolButton *image_Maximize = nullptr;
    QMenu *menu_PopMenu = nullptr;
    QList<QAction *> m_rowItems; // the row menu's items that act on one note
    QLineEdit *text_Search = nullptr;
    QPointer<form_RestoreNotes> m_restore;
    QTimer timer_Blink;
    QTimer timer_CheckAlarm;
    int m_blinkIndex = 0;
    int m_menuNote = 0; // the note whose row menu is open

    int m_surfaceHeight = 3930; // twips
    int m_surfaceWidth = 8835;
    int m_maxWidth = 0;
    int m_maxHeight = 0;
    bool m_unloading = false;
    // The notes that showed at "Exit notes", by id.
    QList<quint64> m_shownAtExit;
};
