// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QWidget>

// The lines of the main window's banner, drawn over it: Line2 and Line1
// along the top edge, and Line3, the title's red underline with its shadow.
class Banner : public QWidget
{
    Q_OBJECT

public:
    explicit Banner(QWidget *parent = nullptr);

    // Right end of the two top lines, in pixels.
    void setTopLineEnd(int x);
    int topLineEnd() const { return m_topLineEnd; }
    // Pixels per twip of the window.
    void setScale(double pixelsPerTwip);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_topLineEnd = 0;
    double m_scale = 1.0 / 15;
};
