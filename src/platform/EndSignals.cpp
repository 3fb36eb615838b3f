// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/EndSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};

void handler(int signal)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void setHandler(void (*action)(int))
{
    struct sigaction sa {
    };
    sa.sa_handler = action;
    sigemptyset(&sa.sa_mask);
    // Reset to the default by the kernel on entry: a second signal of the
    // same kind ends the program even before the loop has read the first.
    sa.sa_flags = action == SIG_DFL ? 0 : SA_RESTART | SA_RESETHAND;
    for (const int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

} // namespace

EndSignals::EndSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndSignals::read);
    setHandler(handler);
}

EndSignals::~EndSignals()
{
    if (!m_notifier)
        return;
    setHandler(SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
}

void EndSignals::read()
{
    unsigned char byte = 0;
    bool got = false;
    while (::read(g_pipe[0], &byte, 1) == 1)
        got = true;
    if (!got || m_told)
        return;
    m_told = true;
    setHandler(SIG_DFL);
    Q_EMIT received(byte);
}
