// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/Notifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>

#include <utility>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kDefaultAction = QStringLiteral("default");

// A picture as the service takes one: width, height, bytes per row, alpha,
// bits per sample, samples per pixel and the RGBA bytes.
QDBusArgument imageData(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument data;
    data.beginStructure();
    data << image.width() << image.height() << int(image.bytesPerLine()) << true << 8 << 4
         << QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
    data.endStructure();
    return data;
}

} // namespace

Notifier::Notifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    // Any sender: naming the service would make Qt ask the bus for its owner
    // and wait for the answer. The ids tell which notification is meant.
    m_bus.connect(QString(), kPath, kService, QStringLiteral("ActivationToken"), this,
                  SLOT(activationToken(uint, QString)));
    m_bus.connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(QString(), kPath, kService, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void Notifier::notify(const QString &summary, const QString &body)
{
    m_wanted = Text {summary, body};
    m_unsent = true;
    advance();
}

void Notifier::withdraw()
{
    m_wanted.reset();
    m_unsent = false;
    advance();
}

void Notifier::advance()
{
    if (m_calling || !m_bus.isConnected())
        return;
    if (m_unsent && !m_markup) {
        send(QStringLiteral("GetCapabilities"), {}, [this](const QDBusPendingCall &call) {
            const QDBusPendingReply<QStringList> reply = call;
            if (reply.isError())
                m_unsent = false; // no service: nothing to show it
            else
                m_markup = reply.value().contains(QStringLiteral("body-markup"));
        });
    } else if (m_unsent) {
        m_unsent = false;
        // Names may hold "<" or "&", which a service that reads markup would
        // take for its own.
        const QString body = *m_markup ? m_wanted->body.toHtmlEscaped() : m_wanted->body;
        const QVariantMap hints {{QStringLiteral("desktop-entry"), QStringLiteral("io.github.vardel.Vardel")},
                                 {QStringLiteral("image-data"), QVariant::fromValue(imageData(m_picture))}};
        send(QStringLiteral("Notify"),
             {QStringLiteral("Vardel"), m_id, QString(), m_wanted->summary, body,
              QStringList {kDefaultAction, QStringLiteral("Show")}, hints, -1},
             [this](const QDBusPendingCall &call) {
                 const QDBusPendingReply<uint> reply = call;
                 m_id = reply.isError() ? 0 : reply.value();
             });
    } else if (!m_wanted && m_id != 0) {
        send(QStringLiteral("CloseNotification"), {m_id}, [](const QDBusPendingCall &) {});
        m_id = 0;
    }
}

void Notifier::send(const QString &method, const QVariantList &arguments,
                    const std::function<void(const QDBusPendingCall &)> &answered)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kService, method);
    message.setArguments(arguments);
    m_calling = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, answered](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_calling = false;
        answered(*w);
        advance();
    });
}

void Notifier::activationToken(uint id, const QString &token)
{
    if (id != 0 && id == m_id)
        m_token = token;
}

void Notifier::actionInvoked(uint id, const QString &action)
{
    // A token is good for one activation.
    const QString token = std::exchange(m_token, {});
    if (id != 0 && id == m_id && action == kDefaultAction)
        Q_EMIT activated(token);
}

void Notifier::notificationClosed(uint id, uint)
{
    // Dismissed or expired: the next alert shows a new one.
    if (id == m_id)
        m_id = 0;
}
