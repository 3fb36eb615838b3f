// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QWidget;

// Every modal box the program shows goes through here: the program shows
// real Qt boxes (QtDialogs), tests answer them from a script. While a box is
// open, isBoxOpen() is true; boxOpened() comes with the first box to open,
// boxesClosed() follows the last one closing.
class Dialogs : public QObject
{
    Q_OBJECT

public:
    enum class Icon { NoIcon, Information, Warning, Critical, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct Box {
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::NoIcon;
        Answer defaultAnswer = Answer::Ok;
        // Shown above every window and calls for the user's attention.
        bool alert = false;
    };

    using QObject::QObject;

    Answer message(QWidget *parent, const Box &box);
    // One line of text; Cancel gives the empty reply.
    QString input(QWidget *parent, const QString &prompt, const QString &title, const QString &text);
    // A file dialog in save mode with the proposed name in its name box: the
    // folder it shows, "/" and the text the user confirmed there, exactly as
    // typed (a text beginning with "/" stands alone); empty when the user
    // cancels.
    std::optional<QString> saveFileName(QWidget *parent, const QString &proposedName);
    // A dialog that chooses a folder; empty when the user cancels.
    std::optional<QString> chooseFolder(QWidget *parent);

    bool isBoxOpen() const { return m_open > 0; }

Q_SIGNALS:
    void boxOpened();
    void boxesClosed();

protected:
    virtual Answer showMessage(QWidget *parent, const Box &box) = 0;
    virtual std::optional<QString> showInput(QWidget *parent, const QString &prompt, const QString &title,
                                             const QString &text)
        = 0;
    virtual std::optional<QString> showSaveFile(QWidget *parent, const QString &proposedName) = 0;
    virtual std::optional<QString> showChooseFolder(QWidget *parent) = 0;

private:
    class OpenBox;
    int m_open = 0;
};
