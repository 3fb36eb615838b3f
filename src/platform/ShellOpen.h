// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>

// The desktop's open service: hands a file to the application that the
// desktop associates with its type, without waiting for that application.
namespace ShellOpen {

enum Code : int {
    FileNotFound = 2,
    PathNotFound = 3,
    AccessDenied = 5,
    // An application is associated but could not be started.
    AssociationInvalid = 27,
    NoAssociation = 31,
    HandedOver = 42, // any value above 32 means success
};

// What the command that asks for a launch hands on to the application.
struct Context {
    // Its working folder (the watched folder); empty: this program's own.
    QString folder;
    // The X server time of the user's event that asked for it; 0: unknown.
    // It reaches the application in its startup id (DESKTOP_STARTUP_ID), so
    // that the window manager may bring its window to the front.
    quint32 userTime = 0;
};

// Opens the file at an absolute path; returns one of the codes above. Every
// failure gets a code that the user is told, none passes for success.
int open(const QString &path, const Context &context = {});

// How long a started application is watched for failing at its start (by
// default 300 ms; one that fails within it is told as an association that
// does not work). Below 0: until it ends, which tests use so that no result
// depends on the machine's speed.
void setStartWindow(int ms);

} // namespace ShellOpen
