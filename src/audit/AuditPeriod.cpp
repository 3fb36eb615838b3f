// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/AuditPeriod.h"

#include "settings/SettingsStore.h"

#include <cmath>

namespace AuditPeriod {

long long shownSeconds(int ms)
{
    return static_cast<long long>(std::nearbyint(ms / 1000.0));
}

std::optional<int> fromReply(const QString &reply, const QLocale &locale)
{
    const QString text = reply.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    double seconds = locale.toDouble(text, &ok);
    if (!ok)
        seconds = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0)
        return std::nullopt;
    // Above 0 seconds, so never below 0 ms.
    const double ms = std::nearbyint(seconds * 1000.0);
    if (ms > kMaxMs)
        return std::nullopt;
    return static_cast<int>(ms);
}

std::optional<int> fromStored(const QString &text)
{
    const std::optional<double> value = SettingsStore::parseNumber(text);
    if (!value)
        return std::nullopt;
    const double ms = std::nearbyint(*value);
    if (ms < 0 || ms > kMaxMs)
        return std::nullopt;
    return static_cast<int>(ms);
}

} // namespace AuditPeriod
