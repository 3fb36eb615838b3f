// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "actions/ShellErrors.h"

namespace ShellErrors {

namespace {
struct Entry {
    int code;
    const char *message;
};

// The open service's documented failure codes, in the order they are tested.
constexpr Entry kMessages[] = {
    {2, "The specified file could not be found."},
    {3, "The specified directory could not be found."},
    {11, "The specified executable file (.EXE) was somehow invalid."},
    {5, "Win 95/98 only: Windows denied access to the specified file."},
    {27, "The filename association is either incomplete or invalid."},
    {30, "The DDE action could not run because other DDE actions are in process."},
    {29, "The DDE transaction failed."},
    {28, "The DDE transaction was not completed because the request timed out."},
    {32, "Win 95/98 only: The specified DLL file was not found."},
    {31, "There is no program associated with the specified type of file."},
    {8, "Win 95/98 only: Windows has insufficient memory to perform the operation."},
    {26, "A sharing violation occured."},
};
} // namespace

QString message(int code)
{
    for (const Entry &e : kMessages) {
        if (e.code == code)
            return QString::fromLatin1(e.message);
    }
    return {};
}

QString title(int code)
{
    return QStringLiteral("Error #") + QString::number(code);
}

QString text(int code, const QString &path)
{
    // A Linux line break: a lone carriage return would not break the line.
    return message(code) + QLatin1Char('\n') + path;
}

} // namespace ShellErrors
