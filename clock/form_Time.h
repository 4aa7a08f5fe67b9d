// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <optional>

class ClockSync;
struct SyncFailure;
struct SyncRequest;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Atomic time": whether and how often the computer's clock is corrected from a DAYTIME server, which server, the
// hour offset and whether the date is set too, and the history of attempts. The attempts and the schedule are the
// clock sync's; the window shows them and starts the user's.
class form_Time : public QWidget {
    Q_OBJECT
public:
    explicit form_Time(ClockSync &sync, QWidget *parent = nullptr);

    void Form_Load();
    void option_Correct_Click(int Index);
    void option_TimeServer_Click(int Index);
    void c_CheckNow_Click();
    void c_Check_Click();
    void c_TakeOver_Click();
    void c_Ok_Click();
    void c_Cancel_Click();
    void c_Mera_Click();
    void c_Error_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    // The attempt the window's choices ask for; nothing when no server is chosen.
    std::optional<SyncRequest> chosenRequest() const;
    // The custom server as the setting keeps it: the protocol's form of the host typed.
    QString customServer() const;
    void showLastTry();
    void showSet(const QString &timeText, bool reported);
    void showFailure(const SyncFailure &failure, bool reported);
    // The last offset measured and whether the system's time service keeps the clock, as the sync knows them.
    void showMeasurements();
    void showKeptBySystem(bool synchronised, bool reported);

    ClockSync &m_sync;
    bool m_unfolded = false;
    QString m_lastError;

    QRadioButton *option_Correct[2];
    QComboBox *combo_Time;
    QCheckBox *check_DateAlso;
    QPushButton *c_CheckNow;
    QRadioButton *option_TimeServer[2];
    QComboBox *combo_TimeServer;
    QLineEdit *text_CustomServer;
    QComboBox *combo_Protocol;
    QPushButton *c_Check;
    QLabel *label_Check;
    QLabel *label_Service;
    QPushButton *c_TakeOver;
    QLabel *label_LastOffset;
    QComboBox *combo_HoursOff;
    QGroupBox *Frame1;
    QLabel *label_LastTry;
    QLabel *label_Success;
    QPushButton *c_Error;
    QLabel *label_NbrOfErrors;
    QLabel *label_Error;
    QPushButton *c_Ok;
    QPushButton *c_Cancel;
    QPushButton *c_Mera;
};
