// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/NetNotes.h"

#include "core/ErrorLog.h"
#include "netnotes/form_NetUsers.h"
#include "netnotes/form_SendTo.h"
#include "notes/NoteStore.h"
#include "platform/MessageBox.h"
#include "platform/SocketErrors.h"

#include <QCoreApplication>

namespace {

quint16 portFromEnvironment(const char *name)
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue(name, &ok);
    return ok && port >= 0 && port <= 65535 ? quint16(port) : quint16(1001);
}

QString listenFailureText(QAbstractSocket::SocketError error, quint16 port, const QString &description)
{
    const QString start = QStringLiteral("Tarnibe can not receive notes from the network: ");
    const QString end = QStringLiteral("\n\nSending notes works as before.");
    if (error == QAbstractSocket::SocketAccessError)
        return start +
               QStringLiteral("it is not allowed to use port %1, because ports below 1024 are reserved for the "
                              "system.\n\nTo allow it, run this command once as administrator and start Tarnibe "
                              "again:\n\nsudo setcap cap_net_bind_service=+ep %2")
                   .arg(port)
                   .arg(QCoreApplication::applicationFilePath()) +
               end;
    if (error == QAbstractSocket::AddressInUseError)
        return start +
               QStringLiteral("another program already uses port %1. Close it (or the other copy of Tarnibe) and "
                              "start Tarnibe again.")
                   .arg(port) +
               end;
    return start + description + u'.' + end;
}

} // namespace

NetNotes::NetNotes(QObject *parent) : QObject(parent)
{
    sender.remotePort = sendPort();
    connect(&receiver, &NoteReceiver::noteReceived, this, &NetNotes::noteArrived);
}

NetNotes::~NetNotes() = default;

quint16 NetNotes::listenPort()
{
    return portFromEnvironment("TARNIBE_NOTE_PORT");
}

quint16 NetNotes::sendPort()
{
    return portFromEnvironment("TARNIBE_NOTE_SEND_PORT");
}

void NetNotes::setAcceptNotes(bool listen)
{
    if (!listen) {
        receiver.close();
        return;
    }
    const quint16 port = listenPort();
    if (receiver.listen(port))
        return;
    const QAbstractSocket::SocketError error = receiver.listenError();
    const QString tag = QStringLiteral("err_tb_tcpServer_Listen ");
    if (error == QAbstractSocket::SocketAccessError)
        logError(tag, platform::ErrorKind::SocketAccess, QStringLiteral("EXTRA: port %1").arg(port));
    else if (error == QAbstractSocket::AddressInUseError)
        logError(tag, platform::ErrorKind::AddressInUse, QStringLiteral("EXTRA: port %1").arg(port));
    else
        logError(tag, platform::socketErrorNumber(error), receiver.listenErrorString(),
                 QStringLiteral("EXTRA: port %1").arg(port));
    if (!m_listenFailureShown) {
        m_listenFailureShown = true;
        platform::showMessageLater(listenFailureText(error, port, receiver.listenErrorString()),
                                   QStringLiteral("Network notes"), platform::MsgIcon::Exclamation);
    }
}

form_SendTo *NetNotes::sendDialog() const
{
    return m_sendDialog.get();
}

form_NetUsers *NetNotes::editor() const
{
    return m_editor.get();
}

void NetNotes::openNetUsers(bool modal)
{
    if (!m_editor) {
        m_editor = std::make_unique<form_NetUsers>();
        connect(m_editor.get(), &form_NetUsers::saved, this, [this] {
            if (m_sendDialog && m_sendDialog->isVisible())
                m_sendDialog->fillList();
        });
    }
    if (!m_editor->isVisible()) {
        m_editor->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
        m_editor->Form_Load();
    }
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

void NetNotes::openSendDialog(int noteIndex)
{
    if (!m_sendDialog) {
        m_sendDialog = std::make_unique<form_SendTo>();
        connect(m_sendDialog.get(), &form_SendTo::addressChosen, this, &NetNotes::sendTo);
        connect(m_sendDialog.get(), &form_SendTo::editorWanted, this, [this] { openNetUsers(false); });
    }
    const NoteEntry *note = NoteStore().entry(noteIndex);
    m_noteToSend = note ? note->id : 0;
    if (note)
        m_snapshot = messageFromNote(*note, QString());
    m_sendDialog->Form_Load();
    m_sendDialog->show();
    m_sendDialog->raise();
    m_sendDialog->activateWindow();
}

void NetNotes::sendTo(const QString &address)
{
    // The note as it is when the connection is made; should it be deleted by then, the note as it was when the user
    // chose to send it.
    sender.send(address, [this] {
        QString name;
        Q_EMIT senderNameWanted(&name);
        if (const NoteEntry *note = NoteStore().find(m_noteToSend))
            return messageFromNote(*note, name);
        NoteMessage message = m_snapshot;
        message.from = QStringLiteral("From : ") + name;
        return message;
    });
}

void NetNotes::closeOutgoingConnection()
{
    sender.Close();
}

void NetNotes::unloadWindows()
{
    m_sendDialog.reset();
    m_editor.reset();
}

NoteMessage NetNotes::messageFromNote(const NoteEntry &note, const QString &senderName)
{
    NoteMessage message;
    message.text = note.currentText();
    message.alarmOn = note.alarmShown;
    message.from = QStringLiteral("From : ") + senderName;
    message.alarmDate = note.record.alarmDate;
    message.alarmRepeat = note.record.alarmRepeat;
    message.alarmTime = note.record.alarmTime;
    message.alarmTip = note.alarmTip;
    return message;
}
