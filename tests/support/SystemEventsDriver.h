// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Makes the system's own events happen for tests that run in the namespace of tests/clock/with_time_servers.sh: the
// mock logind on its private system bus announces a sleep or a resume, and loopback, the namespace's only link, goes
// down or up. Outside that namespace nothing is done and the test is skipped.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// Never outside the namespace: there loopback is the machine's own.
#define SKIP_OUTSIDE_THE_TIME_NAMESPACE()                                                                              \
    if (qEnvironmentVariableIsEmpty("TARNIBE_TIME_NETNS") || qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))   \
    QSKIP("needs the namespace and the mock logind of with_time_servers.sh")

// logind's PrepareForSleep: true as the system goes to sleep, false as it resumes. An empty string on success.
inline QString announceSleep(bool sleeping)
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s,
                                                       u"org.freedesktop.DBus.Mock"_s, u"EmitSignal"_s);
    call << u"org.freedesktop.login1.Manager"_s << u"PrepareForSleep"_s << u"b"_s
         << QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(sleeping))});
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage() : QString();
}

// Takes the namespace's loopback down or brings it up; true when `ip` did.
inline bool setLoopback(bool up)
{
    return QProcess::execute(u"ip"_s, {u"link"_s, u"set"_s, u"lo"_s, up ? u"up"_s : u"down"_s}) == 0;
}
