// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

// The container's surface: the paper, and a row per note (alarm icon, dot, subject, date), painted from a plain list
// rather than made of widgets, so that a thousand rows cost what a thousand short strings do. Rows are numbered
// 1..count like the notes.
class NoteRows : public QWidget {
    Q_OBJECT
public:
    enum class Part { None, Alarm, Dot, Text, Date };

    // Design positions in twips.
    static constexpr int TextLeft = 2430;
    static constexpr int DateLeft = 6675;
    // A new note's row sits its dot lower than the rows read from the file.
    static constexpr int ReadDotOffset = 30;
    static constexpr int NewDotOffset = 65;

    explicit NoteRows(QWidget *parent = nullptr);

    int count() const { return int(m_rows.size()); }
    // A row at the end, for a note made `created`.
    void append(const QString &created, int dotOffset);
    // Takes one row out; the later ones move up a place, and every dot sits as a freshly read row's does.
    void remove(int index);
    void clear();
    // Shows only these rows (ascending), one under the other from the first place; nullopt shows every row.
    void setFilter(std::optional<std::vector<int>> shown);
    bool filtered() const { return m_shown.has_value(); }
    // The rows shown, in their order: every row unless filtered.
    int shownCount() const { return m_shown ? int(m_shown->size()) : count(); }
    int shownRow(int place) const;
    void setText(int index, const QString &text);
    QString text(int index) const;
    void setAlarm(int index, bool shown, const QString &tip);
    bool alarmShown(int index) const;
    QString alarmTip(int index) const;

    // Where row `index` sits, in twips: its top and its dot's offset below that. A row the filter hides sits where
    // the next shown one would.
    int top(int index) const;
    int dotOffset(int index) const;
    // Where a part of a row is drawn, in the surface's pixels; empty for an alarm icon not shown.
    QRect partRect(int index, Part part) const;
    // The row and part under a point of the surface; 0 where there is none.
    int rowAt(const QPoint &at, Part *part) const;

Q_SIGNALS:
    // A left click on the subject, the dot or a shown alarm icon of row `index`.
    void clicked(int index, NoteRows::Part part);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    struct Row {
        QString text;
        QString created;
        QString alarmTip;
        int dotOffset = ReadDotOffset;
        bool alarmShown = false;
    };
    const Row *row(int index) const;
    // The place (1..) row `index` is drawn at; 0 for a row the filter hides.
    int placeOf(int index) const;
    void updateRows(int from);

    std::vector<Row> m_rows;
    std::optional<std::vector<int>> m_shown;
    QFont m_dateFont;
    // A press on a clickable part, until its release; a double click's release is no click of its own.
    int m_pressedRow = 0;
    Part m_pressedPart = Part::None;
};
