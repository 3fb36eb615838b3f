#pragma once

#include <QString>

// The program folder, where "Eye.ico" and "Lighton.ico" are sought: the
// working directory at start with one "/" at its end; a development folder
// (one whose name ends in "VB" or "VB98", any case) gets "My app/Vardel/"
// appended.
QString appPathFor(const QString &workingDirectory);
