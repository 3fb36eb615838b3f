// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

// A set of pictures of one size, looked up by exact key.
class ImageList
{
public:
    void add(const QString &key, const QIcon &icon) { m_icons.insert(key, icon); }
    bool contains(const QString &key) const { return m_icons.contains(key); }
    QIcon icon(const QString &key) const { return m_icons.value(key); }

private:
    QHash<QString, QIcon> m_icons;
};
