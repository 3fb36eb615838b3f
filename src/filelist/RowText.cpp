// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/RowText.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <ctime>

namespace RowText {

QString sizeText(qint64 bytes)
{
    return QString::number(bytes / 1000);
}

QString longTimeFormat(const QLocale &locale)
{
    // Qt's long time format names the time zone; times of day are shown
    // without it. The zone goes with its brackets ("(t)", "[t]") and the
    // blank or comma before it, so that nothing stray is left behind.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) {
            out.append(c);
            continue;
        }
        while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('t'))
            ++i;
        // Every long format of Qt's that opens a bracket before the zone closes it right after.
        if (!out.isEmpty() && (out.back() == QLatin1Char('(') || out.back() == QLatin1Char('['))) {
            out.chop(1);
            ++i;
        }
        while (!out.isEmpty() && (out.back().isSpace() || out.back() == QLatin1Char(',')))
            out.chop(1);
    }
    return out.trimmed();
}

TimeFormatter::TimeFormatter(const QLocale &locale)
    : m_locale(locale)
    , m_dateFormat(locale.dateFormat(QLocale::ShortFormat))
    , m_timeFormat(longTimeFormat(locale))
{
    ::tzset();
}

QString TimeFormatter::text(qint64 secondsSinceEpoch) const
{
    // The C library's conversion, as QDateTime's local time uses, without
    // the checks around it that made a sort by this column of a hundred
    // thousand rows take a second and more.
    const std::time_t when = std::time_t(secondsSinceEpoch);
    std::tm local {};
    if (!::localtime_r(&when, &local))
        return {};
    const QString date = m_locale.toString(QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday), m_dateFormat);
    if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0)
        return date;
    // A leap second shows as the last second of its minute.
    const QTime time(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
    return date + QLatin1Char(' ') + m_locale.toString(time, m_timeFormat);
}

} // namespace RowText
