// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;

// The computers a note can go to, found without any set-up: the names in the hosts file and, when Avahi runs,
// the hosts that announce themselves on the local network. Choosing one fills the editor's computer name.
class HostPicker : public QDialog {
    Q_OBJECT
public:
    explicit HostPicker(const QString &hostsFile = QStringLiteral("/etc/hosts"), QWidget *parent = nullptr);
    ~HostPicker() override;

    // The host names of a hosts file, without the loopback and multicast names every system has.
    static QStringList hostsFileNames(const QByteArray &contents);
    void addHost(const QString &name);
    QString chosen() const;

    QListWidget *list_Hosts;

Q_SIGNALS:
    void hostChosen(const QString &name);

private:
    void startAvahi();
    void stopAvahi();
    Q_SLOT void itemNew(int interface, int protocol, const QString &name, const QString &type, const QString &domain,
                        uint flags);
    void browse(const QString &type);

    QLabel *m_status;
    QStringList m_browsers;
};
