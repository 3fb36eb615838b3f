// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QLocale>
#include <QString>

// How a row writes its numbers and times.
namespace RowText {

// The length in whole thousands of bytes (1000, not 1024), plain digits.
QString sizeText(qint64 bytes);

// The user's long time format without the time zone that Qt adds to it.
QString longTimeFormat(const QLocale &locale);

// A last-modification time in the user's locale: the short date, a blank and
// the long time, the time left out at exactly midnight.
class TimeFormatter
{
public:
    explicit TimeFormatter(const QLocale &locale = QLocale::system());
    QString text(qint64 secondsSinceEpoch) const;

private:
    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
};

} // namespace RowText
