// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "platform/Dialogs.h"

#include <QDir>

class QFileDialog;

// The real boxes.
class QtDialogs : public Dialogs
{
    Q_OBJECT

public:
    using Dialogs::Dialogs;

protected:
    Answer showMessage(QWidget *parent, const Box &box) override;
    std::optional<QString> showInput(QWidget *parent, const QString &prompt, const QString &title,
                                     const QString &text) override;
    std::optional<QString> showSaveFile(QWidget *parent, const QString &proposedName) override;
    std::optional<QString> showChooseFolder(QWidget *parent) override;

private:
    // The file dialogs open in the home folder, then in the last folder
    // that was confirmed in one of them, for as long as the program runs
    // and the folder is there.
    QString startFolder() const { return m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder; }
    void startIn(QFileDialog &dialog) const;
    void remember(const QString &folder);

    QString m_lastFolder;
};
