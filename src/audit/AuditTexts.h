// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>
#include <QTime>

// The texts the audit shows.
namespace AuditTexts {

inline QString sleeping()
{
    return QStringLiteral("Sleeping...");
}
inline QString checking()
{
    return QStringLiteral("Checking for new file...");
}
inline QString newStatus()
{
    return QStringLiteral("New");
}
inline QString newFileTip()
{
    return QStringLiteral("new file");
}
// A new file that is still being written: its row's tip, and its name's
// mark in the notification.
inline QString arrivingTip()
{
    return QStringLiteral("Still being written");
}
inline QString arrivingName(const QString &name)
{
    return name + QStringLiteral(" (still being written)");
}
// While the watched folder cannot be listed.
inline QString notAvailable(const QString &folder)
{
    return QStringLiteral("Folder not available: ") + folder;
}
inline QString quietCaption()
{
    return QStringLiteral("Vardel");
}

// "Vardel - #3 New File/s were found...."
QString alertCaption(qsizetype newCount);
// " #3 New File/s were found!      "
QString alertMessage(qsizetype newCount);
// "Vardel - " and the time of day in the user's long time format.
QString alertTitle(const QTime &now);

// The names of one pass's new files, joined so that two different sets
// never give the same text ("/" cannot occur in a file name).
QString signature(const QStringList &newNames);

} // namespace AuditTexts
