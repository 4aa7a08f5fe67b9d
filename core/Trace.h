// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// The control panel's trace field: the last thing the network side did ("GetInternetTime", "Disabled", ...).
void SetTrace(const QString &text);
QString TraceText();

// The trace line; the control panel shows every new one.
class TraceLine : public QObject {
    Q_OBJECT
public:
    QString text;
Q_SIGNALS:
    void changed(const QString &text);
};

TraceLine &traceLine();
