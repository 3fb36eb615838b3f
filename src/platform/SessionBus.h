// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

// Whether the session bus answers, found out before anything connects to it.
// A bus whose daemon stopped accepts a connection and then never answers:
// whoever connects to it waits without limit, Qt's accessibility bridge and
// its tray and theme included. Such a bus is turned off for this process.
namespace SessionBus {

enum class State {
    Answers,
    Absent, // nothing listens where the address points
    Silent, // connected, but no answer came in time
};

// Connects to the session bus (DBUS_SESSION_BUS_ADDRESS, or
// $XDG_RUNTIME_DIR/bus when that is unset), starts the authentication and
// waits at most timeoutMs for the daemon's answer. An address of a kind
// that cannot be tried here counts as answering.
State probe(int timeoutMs);

// Probes; a bus that does not answer is replaced in this process's
// environment by an address that fails at once, and one line on standard
// error (beginning with `program`) says so.
State setUp(const QString &program, int timeoutMs = 500);

// The bus address the session gave this program, empty when it gave none:
// programs started from here get it, whatever this process uses itself.
std::optional<QByteArray> userAddress();

// This process's environment with the session's own bus address.
QProcessEnvironment childEnvironment();

} // namespace SessionBus
