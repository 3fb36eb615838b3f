// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>

namespace Version {

// The program's version as "major.minor.patch".
inline QString text()
{
    return QStringLiteral("%1.%2.%3").arg(VARDEL_VERSION_MAJOR).arg(VARDEL_VERSION_MINOR).arg(VARDEL_VERSION_PATCH);
}

} // namespace Version
