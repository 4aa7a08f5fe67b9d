// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDialog>
#include <array>

class ClickableLabel;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The alarm editor, "Alarm": pick a day, month, year, hour, minute and repeat for one note's alarm. It always
// opens on the present moment with "Once" chosen.
class form_Calendar : public QDialog {
    Q_OBJECT
public:
    // `noteIndex` is the note whose alarm OK writes.
    explicit form_Calendar(int noteIndex, QWidget *parent = nullptr);

    void Form_Load();
    void label_Number_Click(int index);
    void combo_Month_Click();
    void combo_Year_Click();
    void text_Hour_Change();
    void text_Minute_Change();
    void c_Ok_Click();
    void c_Cancel_Click();

    static int DaysInMonth(int monthIndex);
    static QString WeekdayText(const QDate &date);
    // The picked date as the editor stores it: two-digit day, the month's abbreviation, four-digit year.
    static QString dateText(const QDate &date);

    int pickedDay() const;

private:
    void FillDateLists();
    void DisplayTheSelectedDate();
    void buildSummary();
    void buildDateTime();
    void colourDay(int index, bool picked);

    int m_noteIndex;
    QComboBox *combo_Month;
    QComboBox *combo_Year;
    std::array<ClickableLabel *, 31> label_Number{};
    QLineEdit *text_Hour;
    QLineEdit *text_Minute;
    QLabel *label_Hour;
    QLabel *label_Minute;
    QLabel *label_Date;
    QLabel *label_Day;
    std::array<QRadioButton *, 5> option_Repeat{};
};
