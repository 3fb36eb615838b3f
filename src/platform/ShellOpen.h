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

// Opens the file at an absolute path; returns one of the codes above. Every
// failure gets a code that the user is told, none passes for success.
int open(const QString &path);

} // namespace ShellOpen
