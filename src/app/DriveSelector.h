// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QComboBox>
#include <QHash>

#include <functional>

// Drive1: the mounted volumes that answer, shown by their root paths. It
// shows what finished work tells it: the mount table is read and each
// volume asked whether it is ready beside the window, each volume in a lane
// of its own, so that one that stopped answering holds back only itself and
// is simply not listed.
class DriveSelector : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveSelector(QWidget *parent = nullptr);

    QString drive() const { return currentText(); }
    // The drive to keep in the settings: one asked for by setDrive() whose
    // check has not answered yet, else the one shown.
    QString keptDrive() const { return m_asked.isEmpty() ? currentText() : m_asked; }
    // Shows the volume with this root once it is found mounted and ready;
    // anything else changes nothing. Never runs changed().
    void setDrive(const QString &root);
    // Calls answer(ready) on the window's thread once the volume with this
    // root is found mounted and ready or not; never while its check hangs.
    void whenReady(const QString &root, std::function<void(bool)> answer);
    // Reads the volumes again, keeping the current drive; returns at once.
    void refresh();

Q_SIGNALS:
    // The user chose another drive.
    void changed();

private:
    void showReady();

    QStringList m_roots; // of the last mount table read
    QString m_home; // the volume of the working directory
    QHash<QString, bool> m_ready;
    // Checks running, by root, with who waits for them: one at most per
    // volume, however often the ticks ask.
    QHash<QString, QList<std::function<void(bool)>>> m_checking;
    bool m_reading = false;
    QString m_asked;
};
