// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/Dialogs.h"

// Counts the boxes open at once, so that the audit can hold back while one
// is on screen.
class Dialogs::OpenBox
{
public:
    explicit OpenBox(Dialogs &d)
        : m_d(d)
    {
        if (++m_d.m_open == 1)
            Q_EMIT m_d.boxOpened();
    }
    ~OpenBox()
    {
        if (--m_d.m_open == 0)
            Q_EMIT m_d.boxesClosed();
    }
    OpenBox(const OpenBox &) = delete;
    OpenBox &operator=(const OpenBox &) = delete;

private:
    Dialogs &m_d;
};

Dialogs::Answer Dialogs::message(QWidget *parent, const Box &box)
{
    OpenBox open(*this);
    return showMessage(parent, box);
}

QString Dialogs::input(QWidget *parent, const QString &prompt, const QString &title, const QString &text)
{
    OpenBox open(*this);
    return showInput(parent, prompt, title, text).value_or(QString());
}

std::optional<QString> Dialogs::saveFileName(QWidget *parent, const QString &proposedName)
{
    OpenBox open(*this);
    return showSaveFile(parent, proposedName);
}

std::optional<QString> Dialogs::chooseFolder(QWidget *parent)
{
    OpenBox open(*this);
    return showChooseFolder(parent);
}
