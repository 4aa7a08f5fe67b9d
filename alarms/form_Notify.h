// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QGroupBox;
class QPlainTextEdit;

// The alarm notice, "Alarm": the note's text under "Dont forget: " and the moment it rang.
class form_Notify : public QDialog {
    Q_OBJECT
public:
    explicit form_Notify(QWidget *parent = nullptr);

    // Opens the notice (centred, with "clock.wav") for a ring now.
    void Form_Load();
    void ring(const QString &caption, const QString &text);
    void c_Ok_Click();

    QString caption() const;
    QString text() const;

private:
    QGroupBox *frame_Notify;
    QPlainTextEdit *text_Notify;
};
