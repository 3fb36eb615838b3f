// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/AuditTexts.h"

#include "filelist/RowText.h"

#include <QLocale>
#include <QStringList>

namespace AuditTexts {

QString alertCaption(qsizetype newCount)
{
    return QStringLiteral("Vardel - #") + QString::number(newCount) + QStringLiteral(" New File/s were found....");
}

QString alertMessage(qsizetype newCount)
{
    return QStringLiteral(" #") + QString::number(newCount) + QStringLiteral(" New File/s were found!      ");
}

QString alertTitle(const QTime &now)
{
    const QLocale locale = QLocale::system();
    return QStringLiteral("Vardel - ") + locale.toString(now, RowText::longTimeFormat(locale));
}

QString signature(const QStringList &newNames)
{
    return newNames.join(QLatin1Char('/'));
}

} // namespace AuditTexts
