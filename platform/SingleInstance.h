// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QObject>
#include <memory>
#include <optional>

namespace platform {

// The running copy's answer to a command handed to it: done or not, and a sentence for the user.
struct CommandAnswer {
    bool ok = false;
    QString text;
};

// One copy of the suite per user session: a lock file in the runtime folder, and a local socket through which
// a second launch asks the running copy to show itself, or hands it a command line's work.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one running copy. Touches no file of another copy. Without `listen` it
    // only holds the lock, for a command line doing its work while no copy runs.
    bool acquire(bool listen = true);
    // From a second launch: asks the running copy to show its control panel. True when it answered.
    static bool askRunningCopyToShow(int timeoutMs = 1000);
    // Hands the running copy a command's arguments and waits for its answer; nothing when no copy is there.
    static std::optional<CommandAnswer> askRunningCopy(const QStringList &arguments, int timeoutMs);
    // Gives up the lock and the socket, for a process that ends without unwinding.
    void release();

Q_SIGNALS:
    void showRequested();
    // A command line's work for this copy; a receiver fills in the answer before it returns.
    void commandRequested(const QStringList &arguments, platform::CommandAnswer *answer);

private:
    void answer(QLocalSocket *socket);
    static QString lockPath();
    static QString socketPath();

    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace platform
