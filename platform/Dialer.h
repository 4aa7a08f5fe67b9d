// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace platform {

// A dial-up connection: entries to dial, dialling with a user name and password, the connection states and errors
// as they come, and hanging up. Dialling returns at once; progress arrives as signals.
class Dialer : public QObject {
    Q_OBJECT
public:
    struct EntryLogin {
        QString userName;
        QString password;
    };
    // The user name and password stored with an entry; empty where it has none.
    virtual EntryLogin entryLogin(const QString &) const { return {}; }
    void setRasEntryName(const QString &name) { m_entryName = name; }
    QString RasEntryName() const { return m_entryName; }
    QString RasLoginName;
    QString RasLoginPassword;

    virtual bool RasIsConnected() const = 0;
    virtual void RasDial() = 0;
    virtual void RasHangUp() = 0;
    virtual int RasEntryCount() const = 0;
    virtual QString RasEntryAt(int index) const = 0;
    // False where the system has no dial-up networking at all.
    virtual bool available() const = 0;

Q_SIGNALS:
    void Connect();
    void Disconnect();
    void LastError(int errorCode, const QString &errorString);
    void Status(int state);
    void Timeout();

private:
    QString m_entryName;
};

// This system's dialer. Linux has no dial-up networking the suite can drive: it lists no entries and a dial ends
// at once in an error that says so.
Dialer &dialer();
// Tests put their own dialer in place; nullptr puts the system's back.
void installDialer(Dialer *dialer);

} // namespace platform
