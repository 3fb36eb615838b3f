// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QLocale>
#include <QString>

class QTranslator;
class QWindow;

// What the desktop session offers a window beyond Qt's defaults: the
// platform's rules for placing windows, activation tokens, and Qt's own
// translations.
namespace Desktop {

// The window system's plugin ("xcb", "wayland"...); tests may name another.
QString platformName();
void setPlatformName(const QString &name); // empty: Qt's own again

// Whether a window may say where it goes: under Wayland the compositor alone
// places windows, and the place a window reads is no place on the screen.
bool placesWindows();

// What a launcher handed this start to bring its window to the front: an
// activation token (Wayland) and a startup id (X11). Read before the
// application object exists, which takes them from the environment.
struct LaunchTokens {
    QString activationToken;
    QString startupId;
};
LaunchTokens launchTokens();
// The one of the two this window system uses.
QString tokenFor(const LaunchTokens &tokens);

// Brings a window to the front, with the token when there is one: the
// desktop lets a window forward that the user asked for, and ends the
// launch feedback of the start that handed the token over.
void activate(QWindow *window, const QString &token);

// Loads Qt's own translations (qtbase_<language>.qm) for the locale's
// languages from the folder, so that Qt's dialogs speak the user's language.
// Returns the translator installed, or null when there is none.
QTranslator *installQtTranslations(const QLocale &locale, const QString &folder);

} // namespace Desktop
