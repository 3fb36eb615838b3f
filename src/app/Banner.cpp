// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/Banner.h"

#include <QPainter>

Banner::Banner(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Banner::setTopLineEnd(int x)
{
    m_topLineEnd = x;
    update();
}

void Banner::setScale(double pixelsPerTwip)
{
    m_scale = pixelsPerTwip;
    update();
}

void Banner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const auto px = [this](double twips) { return twips * m_scale; };

    // Line2 in the window colour, Line1 in the inactive title colour over it.
    p.setPen(QPen(palette().color(QPalette::Window), 1));
    p.drawLine(QPointF(0, 0.5), QPointF(m_topLineEnd, 0.5));
    p.setPen(QPen(palette().color(QPalette::Inactive, QPalette::Highlight), 1));
    p.drawLine(QPointF(0, 0.5), QPointF(m_topLineEnd, 0.5));

    // The title's underline, then its black shadow two pixels lower.
    p.setPen(QPen(QColor(192, 0, 0), 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(px(600), px(520)), QPointF(px(4100), px(520)));
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(px(360), px(550)), QPointF(px(4120), px(550)));
}
