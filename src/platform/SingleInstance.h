// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "platform/Desktop.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class ApplicationAdaptor;

// One Vardel per session: the first start owns the name
// io.github.vardel.Vardel on the session bus and hears the later ones
// (org.freedesktop.Application), which hand over their folder and end.
// Every call has a short limit, so that a bus or a first start that stopped
// answering holds a start up for a moment only.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Alone, // no bus, or the name could not be had: a window of its own
        First, // owns the name: the window, told of later starts
        HandedOver, // a running one has the folder: this start ends
    };

    static const QString kService;
    static const QString kPath;

    explicit SingleInstance(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the name, or hands the folder (may be empty) and the tokens to
    // the start that has it. Two starts at once: one takes the name, the
    // other hands over to it.
    Role start(const QString &folder, const Desktop::LaunchTokens &tokens);
    // Gives the name up, so that a start from now on has its own window.
    void release();

    // The bus form of a folder and back ("file://" and its bytes, escaped).
    static QString folderUri(const QString &folder);
    static QString uriFolder(const QString &uri);

Q_SIGNALS:
    // A later start asked for the window, with a folder to watch (or none)
    // and the token that brings the window to the front.
    void requested(const QString &folder, const QString &token);

private:
    friend class ApplicationAdaptor;
    void heard(const QStringList &uris, const QVariantMap &platformData);

    QDBusConnection m_bus;
    ApplicationAdaptor *m_adaptor = nullptr;
    bool m_owner = false;
};
