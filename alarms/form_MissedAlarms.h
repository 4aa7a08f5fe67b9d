// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QListWidget;
class QPlainTextEdit;

// "Missed alarms": the rings that fell due while Tarnibe was not running (or the computer slept).
class form_MissedAlarms : public QDialog {
    Q_OBJECT
public:
    explicit form_MissedAlarms(QWidget *parent = nullptr);

    // Opens the window, centred, unless it is open already.
    void Form_Load();
    void addRing(const QString &dateLine, const QString &subject);
    void list_MissedAlarms_Click();
    void c_Ok_Click();
    QStringList lines() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QListWidget *list_MissedAlarms;
    QPlainTextEdit *text_Commercial2;
};
