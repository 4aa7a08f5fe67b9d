// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

namespace platform {

// One copy of the suite per user session: a lock file in the runtime folder, and a local socket through which
// a second launch asks the running copy to show itself.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one running copy. Touches no file of another copy.
    bool acquire();
    // From a second launch: asks the running copy to show its control panel. True when it answered.
    static bool askRunningCopyToShow(int timeoutMs = 1000);
    // Gives up the lock and the socket, for a process that ends without unwinding.
    void release();

Q_SIGNALS:
    void showRequested();

private:
    static QString lockPath();
    static QString socketPath();

    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace platform
