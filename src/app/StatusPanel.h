// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QLabel>

// A panel of the status bar whose text screen readers can read and hear
// change: the text is the panel's accessible value and its text, and each
// change is told as a text update (Orca speaks it as a status bar's news).
class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    explicit StatusPanel(QWidget *parent = nullptr);

    // Hides QLabel::setText, which tells screen readers of a change only for
    // a label without a name.
    void setText(const QString &text);
};
