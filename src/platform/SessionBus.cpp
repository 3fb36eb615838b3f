// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/SessionBus.h"

#include <QElapsedTimer>
#include <QList>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace SessionBus {

namespace {

constexpr const char *kVariable = "DBUS_SESSION_BUS_ADDRESS";
// Fails at once in every bus library: no such transport.
constexpr const char *kTurnedOff = "disabled:";

bool g_saved = false;
std::optional<QByteArray> g_userAddress;

std::optional<QByteArray> currentAddress()
{
    if (!qEnvironmentVariableIsSet(kVariable))
        return std::nullopt;
    return qgetenv(kVariable);
}

// A socket to try: a path, or a name in the abstract namespace.
struct Socket {
    QByteArray name;
    bool abstract = false;
};

// The sockets of an address list in the order a client tries them; an entry
// of another transport (tcp, launchd...) ends the list with `unknown` set.
QList<Socket> sockets(const QByteArray &addresses, bool &unknown)
{
    QList<Socket> out;
    for (const QByteArray &address : addresses.split(';')) {
        if (address.isEmpty())
            continue;
        if (!address.startsWith("unix:")) {
            unknown = true;
            return out;
        }
        for (const QByteArray &pair : address.mid(5).split(',')) {
            const qsizetype eq = pair.indexOf('=');
            const QByteArray key = pair.left(eq);
            if (eq > 0 && (key == "path" || key == "abstract"))
                out.append({QByteArray::fromPercentEncoding(pair.mid(eq + 1)), key == "abstract"});
        }
    }
    return out;
}

enum class Tried { Answers, Refused, Silent };

Tried tryOne(const Socket &socket, QElapsedTimer &clock, int timeoutMs)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    // A path ends in a zero byte, a name in the abstract namespace starts
    // with one: either way one byte more than the name.
    if (socket.name.isEmpty() || socket.name.size() >= qsizetype(sizeof address.sun_path))
        return Tried::Refused;
    std::memcpy(address.sun_path + (socket.abstract ? 1 : 0), socket.name.constData(), size_t(socket.name.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(socket.name.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Tried::Refused;
    Tried result = Tried::Silent;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        // A full backlog: the daemon takes no one in.
        result = errno == EAGAIN ? Tried::Silent : Tried::Refused;
        ::close(fd);
        return result;
    }
    // The first thing a client says; the daemon answers "OK" or "REJECTED".
    const QByteArray hello = QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(::getuid()).toHex() + "\r\n";
    if (::send(fd, hello.constData(), size_t(hello.size()), MSG_NOSIGNAL) != hello.size()) {
        ::close(fd);
        return Tried::Refused;
    }
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        pollfd p {fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        // An answer or a hang-up: either way nobody who connects waits.
        if (ready > 0)
            result = Tried::Answers;
        break;
    }
    ::close(fd);
    return result;
}

} // namespace

State probe(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    bool unknown = false;
    QList<Socket> tried;
    if (const std::optional<QByteArray> address = currentAddress()) {
        tried = sockets(*address, unknown);
    } else {
        // Where the bus libraries look when the session named no bus.
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty())
            tried.append({runtime + "/bus", false});
    }
    for (const Socket &socket : tried) {
        switch (tryOne(socket, clock, timeoutMs)) {
        case Tried::Answers:
            return State::Answers;
        case Tried::Silent:
            return State::Silent;
        case Tried::Refused:
            break;
        }
    }
    return unknown ? State::Answers : State::Absent;
}

State setUp(const QString &program, int timeoutMs)
{
    g_userAddress = currentAddress();
    g_saved = true;
    const State state = probe(timeoutMs);
    if (state == State::Silent) {
        qputenv(kVariable, kTurnedOff);
        const QByteArray line = program.toLocal8Bit()
            + ": the session bus does not answer: going on without it (no desktop notifications, no hand-over to "
              "a running Vardel)\n";
        std::fputs(line.constData(), stderr);
    }
    return state;
}

std::optional<QByteArray> userAddress()
{
    return g_saved ? g_userAddress : currentAddress();
}

QProcessEnvironment childEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (const std::optional<QByteArray> address = userAddress())
        environment.insert(QString::fromLatin1(kVariable), QString::fromLocal8Bit(*address));
    else
        environment.remove(QString::fromLatin1(kVariable));
    return environment;
}

} // namespace SessionBus
