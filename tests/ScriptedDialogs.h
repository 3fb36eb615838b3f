// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <functional>
#include <iterator>

// Answers the program's boxes from a script and keeps what each box asked.
class ScriptedDialogs : public Dialogs
{
public:
    enum class Kind { Message, Input, SaveFile, Folder };

    struct Asked {
        Kind kind;
        Box box; // a message box
        QString prompt; // the input box
        QString defaultText; // the input box's text, or the proposed file name
    };

    QList<Answer> answers; // Answers, taken in turn; when none is left a message takes its default, the others Cancel.
    QList<std::optional<QString>> replies; // input boxes, file and folder dialogs
    std::function<void(const Asked &)> whileOpen; // Runs while a box is open, before it is answered.
    QList<Asked> asked;

    QList<Asked> messages() const
    {
        QList<Asked> out;
        std::copy_if(asked.begin(), asked.end(), std::back_inserter(out),
                     [](const Asked &a) { return a.kind == Kind::Message; });
        return out;
    }
    // Each message box as "title|text", or its text alone.
    QStringList boxes(bool titles = true) const
    {
        QStringList out;
        for (const Asked &a : messages())
            out.append(titles ? a.box.title + QLatin1Char('|') + a.box.text : a.box.text);
        return out;
    }
    void reset()
    {
        answers.clear();
        replies.clear();
        asked.clear();
        whileOpen = nullptr;
    }

protected:
    Answer showMessage(QWidget *, const Box &box) override
    {
        open({Kind::Message, box, {}, {}});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return box.buttons == Buttons::YesNo ? box.defaultAnswer : Answer::Ok;
    }
    std::optional<QString> showInput(QWidget *, const QString &prompt, const QString &title,
                                     const QString &text) override
    {
        return reply({Kind::Input, {{}, title}, prompt, text});
    }
    std::optional<QString> showSaveFile(QWidget *, const QString &proposedName) override
    {
        return reply({Kind::SaveFile, {}, {}, proposedName});
    }
    std::optional<QString> showChooseFolder(QWidget *) override { return reply({Kind::Folder, {}, {}, {}}); }

private:
    void open(const Asked &a)
    {
        asked.append(a);
        if (whileOpen)
            whileOpen(a);
    }
    std::optional<QString> reply(const Asked &a)
    {
        open(a);
        return replies.isEmpty() ? std::nullopt : replies.takeFirst();
    }
};
