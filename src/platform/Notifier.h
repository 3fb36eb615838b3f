// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusPendingCall;

// One desktop notification (org.freedesktop.Notifications on the session
// bus) that a later one replaces and that can be withdrawn. Every call is
// asynchronous, and one is on its way at a time, so that a slow service
// never holds the window and calls never overtake each other. Without a bus
// or a service nothing is shown and nothing is told.
class Notifier : public QObject
{
    Q_OBJECT

public:
    explicit Notifier(const QDBusConnection &bus, QObject *parent = nullptr);

    // The picture every notification shows.
    void setPicture(const QImage &picture) { m_picture = picture; }
    // Shows the notification, or replaces the one shown.
    void notify(const QString &summary, const QString &body);
    // Takes the one shown away.
    void withdraw();
    // No call is on its way.
    bool isIdle() const { return !m_calling; }

Q_SIGNALS:
    // The user chose the notification's default action ("Show"); the token
    // (empty when the service sent none) brings the window to the front.
    void activated(const QString &activationToken);

private Q_SLOTS:
    void activationToken(uint id, const QString &token);
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    struct Text {
        QString summary;
        QString body;
    };

    // Sends the next call that brings the service to what is wanted.
    void advance();
    void send(const QString &method, const QVariantList &arguments,
              const std::function<void(const QDBusPendingCall &)> &answered);

    QDBusConnection m_bus;
    QImage m_picture;
    std::optional<Text> m_wanted;
    bool m_unsent = false;
    // Whether the service reads markup in the body; unknown until asked.
    std::optional<bool> m_markup;
    uint m_id = 0;
    // Sent by the service just before the action it goes with.
    QString m_token;
    bool m_calling = false;
};
