// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QLocale>
#include <QString>

#include <optional>

// The audit period: a whole number of milliseconds from 0 (stopped) to
// 65535, shown to the user in seconds.
namespace AuditPeriod {

constexpr int kDefaultMs = 60000;
constexpr int kMaxMs = 65535;

// The period in whole seconds, halves rounded to the even neighbour.
long long shownSeconds(int ms);

// A reply of the period dialog in seconds (a fraction and the user's decimal
// separator allowed) as milliseconds; empty when the reply is no number
// above 0, or when its period is longer than the timer can hold.
std::optional<int> fromReply(const QString &reply, const QLocale &locale = QLocale::system());

// A stored "Audit Timeout": milliseconds, rounded halves to even; empty
// when it is no number or outside 0 to 65535.
std::optional<int> fromStored(const QString &text);

} // namespace AuditPeriod
