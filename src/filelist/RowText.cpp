#include "filelist/RowText.h"

#include <QDateTime>

namespace RowText {

QString sizeText(qint64 bytes)
{
    return QString::number(bytes / 1000);
}

QString longTimeFormat(const QLocale &locale)
{
    // Qt's long time format names the time zone; times of day are shown
    // without it, so the zone is taken out of the pattern.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out.append(c);
    }
    return out.simplified();
}

TimeFormatter::TimeFormatter(const QLocale &locale)
    : m_locale(locale)
    , m_dateFormat(locale.dateFormat(QLocale::ShortFormat))
    , m_timeFormat(longTimeFormat(locale))
{
}

QString TimeFormatter::text(qint64 secondsSinceEpoch) const
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::LocalTime);
    const QString date = m_locale.toString(when.date(), m_dateFormat);
    const QTime time = when.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + m_locale.toString(time, m_timeFormat);
}

} // namespace RowText
