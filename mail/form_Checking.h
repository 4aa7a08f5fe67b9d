// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

class QLabel;
class QListWidget;
class QPushButton;

// "Checking email": the progress of a check the user started, a line per step and per account, and "Close" once
// something failed. It opens in the middle of the screen.
class form_Checking : public QWidget {
    Q_OBJECT
public:
    explicit form_Checking(QWidget *parent = nullptr);

    void Form_Load();
    void Timer1_Timer();
    void c_Close_Click();
    // Adds a line and scrolls to it.
    void addLine(const QString &line);

    std::array<QLabel *, 2> label_Data{};
    QListWidget *list_Display;
    QPushButton *c_Close;
    std::array<QLabel *, 4> Image1{};
    QTimer Timer1;

protected:
    void showEvent(QShowEvent *event) override;

private:
    int m_frame = 0;
};
