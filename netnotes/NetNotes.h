// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netnotes/NoteMessage.h"
#include "netnotes/NoteReceiver.h"
#include "netnotes/NoteSender.h"

#include <QPointer>
#include <memory>

class form_NetUsers;
struct NoteEntry;
class form_SendTo;

// Network notes as the control panel runs them: the listener, the sender, the directory editor and the send
// dialog. The port is 1001 unless TARNIBE_NOTE_PORT (listening) or TARNIBE_NOTE_SEND_PORT (sending) say otherwise.
class NetNotes : public QObject {
    Q_OBJECT
public:
    explicit NetNotes(QObject *parent = nullptr);
    ~NetNotes() override;

    static quint16 listenPort();
    static quint16 sendPort();

    // Start-up and the accept-notes box: listen or stop listening. A port that cannot be had is logged and
    // explained to the user once; everything else goes on working.
    void setAcceptNotes(bool listen);
    void openNetUsers(bool modal);
    // A note's Send command: the send dialog, for that note.
    void openSendDialog(int noteIndex);
    void closeOutgoingConnection();
    // The suite ends: the dialogs close.
    void unloadWindows();

    // The message for a note as it is now.
    static NoteMessage messageFromNote(const NoteEntry &note, const QString &senderName);

    NoteReceiver receiver;
    NoteSender sender;
    form_SendTo *sendDialog() const;
    form_NetUsers *editor() const;

Q_SIGNALS:
    // A note arrived from the network.
    void noteArrived(const NoteMessage &message);
    // Asked, as the connection for a note is made, for the sender's name in its "From : " field; a receiver sets
    // `name` (the control panel's field, else the computer's name), which stays empty otherwise.
    void senderNameWanted(QString *name);

private:
    void sendTo(const QString &address);

    std::unique_ptr<form_SendTo> m_sendDialog;
    std::unique_ptr<form_NetUsers> m_editor;
    quint64 m_noteToSend = 0;
    NoteMessage m_snapshot;
    bool m_listenFailureShown = false;
};
