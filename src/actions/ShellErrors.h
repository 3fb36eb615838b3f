// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>

// What the user is told when the desktop could not open a file.
namespace ShellErrors {

// The message for a result code of the open service; empty for success and
// for codes that show nothing.
QString message(int code);

// "Error #" and the code.
QString title(int code);

// The box's text: the message, a line break and the path.
QString text(int code, const QString &path);

} // namespace ShellErrors
