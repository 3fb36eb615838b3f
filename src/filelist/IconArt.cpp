// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/IconArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace IconArt {

namespace {

// Large pictures are drawn on a 32-unit grid, small ones (under 20 px) on a
// 13-pixel grid with simpler forms. Outlines are one unit wide and sit on
// half units, so 13, 16, 32, 64, 128 and 256 px come out sharp.
constexpr int LargeGrid = 32;
constexpr int SmallGrid = 13;
constexpr int SmallLimit = 20;

// One palette for the whole set; every fill has a darker partner for its edge.
constexpr QRgb White = qRgb(0xff, 0xff, 0xff);
constexpr QRgb PageEdge = qRgb(0x5f, 0x6a, 0x78);
constexpr QRgb PageShade = qRgb(0xe8, 0xec, 0xf1);
constexpr QRgb Fold = qRgb(0xcf, 0xd6, 0xdf);
constexpr QRgb TextLine = qRgb(0x9a, 0xa5, 0xb3);
constexpr QRgb Ink = qRgb(0x2b, 0x32, 0x3c);
constexpr QRgb Slate = qRgb(0x45, 0x4e, 0x5b);
constexpr QRgb Metal = qRgb(0xb9, 0xc1, 0xcc);
constexpr QRgb Blue = qRgb(0x3c, 0x82, 0xe0);
constexpr QRgb BlueDeep = qRgb(0x1f, 0x58, 0xb4);
constexpr QRgb BlueEdge = qRgb(0x17, 0x47, 0x94);
constexpr QRgb Green = qRgb(0x3a, 0xaa, 0x5e);
constexpr QRgb GreenDeep = qRgb(0x22, 0x80, 0x44);
constexpr QRgb GreenEdge = qRgb(0x1a, 0x66, 0x36);
constexpr QRgb GreenPale = qRgb(0xcd, 0xec, 0xd6);
constexpr QRgb Orange = qRgb(0xf0, 0x74, 0x3a);
constexpr QRgb OrangeDeep = qRgb(0xcc, 0x4b, 0x1c);
constexpr QRgb OrangeEdge = qRgb(0xa3, 0x3b, 0x14);
constexpr QRgb OrangePale = qRgb(0xff, 0xd2, 0xb8);
constexpr QRgb Yellow = qRgb(0xff, 0xd8, 0x5c);
constexpr QRgb Amber = qRgb(0xf2, 0xb1, 0x33);
constexpr QRgb AmberEdge = qRgb(0xa8, 0x74, 0x12);
constexpr QRgb Purple = qRgb(0x8a, 0x62, 0xd0);
constexpr QRgb PurpleDeep = qRgb(0x64, 0x40, 0xad);
constexpr QRgb PurpleEdge = qRgb(0x48, 0x2c, 0x82);
constexpr QRgb Red = qRgb(0xe2, 0x48, 0x3d);
constexpr QRgb Teal = qRgb(0x23, 0xa3, 0x9a);
constexpr QRgb TealEdge = qRgb(0x15, 0x71, 0x6b);
constexpr QRgb Wood = qRgb(0xc2, 0x84, 0x4a);
constexpr QRgb WoodDeep = qRgb(0x9a, 0x60, 0x2e);
constexpr QRgb WoodEdge = qRgb(0x6b, 0x40, 0x1c);
constexpr QRgb SkyTop = qRgb(0xd4, 0xee, 0xff);
constexpr QRgb Sky = qRgb(0x84, 0xc6, 0xf2);
constexpr QRgb Grass = qRgb(0x6c, 0xc0, 0x4a);
constexpr QRgb GrassDeep = qRgb(0x3f, 0x8f, 0x3c);
constexpr QRgb Sun = qRgb(0xff, 0xc9, 0x2e);
constexpr QRgb Iris = qRgb(0x5a, 0xb0, 0xe6);
constexpr QRgb IrisDeep = qRgb(0x25, 0x67, 0xa3);
constexpr QRgb EyeEdge = qRgb(0x2a, 0x45, 0x60);

QColor colour(QRgb rgb, int alpha = 255)
{
    QColor c = QColor::fromRgb(rgb);
    c.setAlpha(alpha);
    return c;
}

QPen edge(QRgb rgb, qreal width = 1.0, Qt::PenJoinStyle join = Qt::MiterJoin)
{
    return QPen(colour(rgb), width, Qt::SolidLine, Qt::FlatCap, join);
}

QPen stroke(QColor c, qreal width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    return QPen(c, width, Qt::SolidLine, cap, Qt::RoundJoin);
}

QBrush shade(qreal top, qreal bottom, QRgb from, QRgb to)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, colour(from));
    g.setColorAt(1, colour(to));
    return g;
}

QRectF box(qreal left, qreal top, qreal right, qreal bottom)
{
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPainterPath polygonPath(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

void fillRect(QPainter &p, const QRectF &r, QRgb rgb)
{
    p.fillRect(r, colour(rgb));
}

// ---- shared forms -------------------------------------------------------

struct Page {
    QRectF rect;
    qreal fold;
};

Page pageFor(bool small)
{
    if (small)
        return {box(1.5, 0.5, 11.5, 12.5), 3};
    return {box(5.5, 1.5, 26.5, 30.5), 7};
}

void drawPage(QPainter &p, const Page &page, QRgb top = White, QRgb bottom = PageShade, QRgb rim = PageEdge)
{
    const QRectF &r = page.rect;
    const qreal f = page.fold;
    p.setPen(edge(rim, 1.0, Qt::RoundJoin));
    p.setBrush(shade(r.top(), r.bottom(), top, bottom));
    p.drawPath(polygonPath(
        {r.topLeft(), {r.right() - f, r.top()}, {r.right(), r.top() + f}, r.bottomRight(), r.bottomLeft()}));
    p.setBrush(colour(Fold));
    p.drawPath(polygonPath({{r.right() - f, r.top()}, {r.right() - f, r.top() + f}, {r.right(), r.top() + f}}));
}

void drawTextLines(QPainter &p, qreal left, qreal right, std::initializer_list<qreal> rows, QRgb rgb = TextLine)
{
    p.setPen(edge(rgb));
    int i = 0;
    for (qreal y : rows) {
        // Every third line stops short, like the end of a paragraph.
        const qreal end = (++i % 3 == 0) ? left + (right - left) * 0.6 : right;
        p.drawLine(QPointF(left, y), QPointF(end, y));
    }
}

QPainterPath gearPath(QPointF centre, qreal outer, qreal inner, int teeth, qreal hole)
{
    const qreal step = 2 * std::numbers::pi / teeth;
    auto at = [&](qreal r, qreal a) { return centre + QPointF(r * std::cos(a), r * std::sin(a)); };
    QPolygonF outline;
    for (int i = 0; i < teeth; ++i) {
        const qreal a = i * step;
        outline << at(inner, a - step * 0.32) << at(outer, a - step * 0.17) << at(outer, a + step * 0.17)
                << at(inner, a + step * 0.32);
    }
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    path.addEllipse(centre, hole, hole);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

QPainterPath almondPath(const QRectF &r)
{
    const qreal cx = r.center().x();
    const qreal cy = r.center().y();
    QPainterPath path;
    path.moveTo(r.left(), cy);
    // A quadratic curve peaks halfway to its control point: aim past the edge.
    path.quadTo(cx, 2 * r.top() - cy, r.right(), cy);
    path.quadTo(cx, 2 * r.bottom() - cy, r.left(), cy);
    path.closeSubpath();
    return path;
}

void drawEyeIn(QPainter &p, const QRectF &r, qreal iris, qreal pupil, bool small)
{
    const QPainterPath almond = almondPath(r);
    const QPointF c = r.center();
    p.setPen(Qt::NoPen);
    p.setBrush(shade(r.top(), r.bottom(), White, qRgb(0xe4, 0xee, 0xf7)));
    p.drawPath(almond);

    QPainterPath irisPath;
    irisPath.addEllipse(c, iris, iris);
    QRadialGradient g(c + QPointF(-iris * 0.3, -iris * 0.3), iris * 1.3);
    g.setColorAt(0, colour(Iris));
    g.setColorAt(1, colour(IrisDeep));
    p.setBrush(g);
    p.drawPath(irisPath.intersected(almond));
    p.setBrush(colour(qRgb(0x12, 0x20, 0x30)));
    p.drawEllipse(c, pupil, pupil);
    if (!small) {
        p.setBrush(Qt::white);
        p.drawEllipse(c + QPointF(iris * 0.35, -iris * 0.38), iris * 0.2, iris * 0.2);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(edge(EyeEdge, 1.0, Qt::RoundJoin));
    p.drawPath(almond);
}

void drawFolder(QPainter &p, bool small, bool withSheet)
{
    QPainterPath back;
    QRectF front;
    if (small) {
        back = polygonPath({{0.5, 1.5}, {4.5, 1.5}, {5.5, 2.5}, {12.5, 2.5}, {12.5, 11.5}, {0.5, 11.5}});
        front = box(0.5, 4.5, 12.5, 11.5);
    } else {
        back = polygonPath({{2.5, 5.5}, {11.5, 5.5}, {14.5, 8.5}, {29.5, 8.5}, {29.5, 27.5}, {2.5, 27.5}});
        front = box(2.5, 12.5, 29.5, 27.5);
    }
    p.setPen(edge(AmberEdge, 1.0, Qt::RoundJoin));
    p.setBrush(colour(Amber));
    p.drawPath(back);
    if (withSheet && !small) {
        p.setPen(edge(PageEdge));
        p.setBrush(Qt::white);
        p.drawRect(box(5.5, 10.5, 26.5, 14));
        p.setPen(edge(AmberEdge, 1.0, Qt::RoundJoin));
    }
    p.setBrush(shade(front.top(), front.bottom(), Yellow, Amber));
    p.drawRect(front);
    if (!small) {
        // A lighter lip along the front's top edge gives it depth.
        p.setPen(edge(qRgb(0xff, 0xec, 0xa8)));
        p.drawLine(QPointF(3, 13.5), QPointF(29, 13.5));
    }
}

// Diagonal black and white stripes, cut to the bar.
void drawStripedBar(QPainter &p, const QRectF &r, qreal period, qreal lineWidth)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(r);
    QPainterPath bar;
    bar.addRect(r);
    QPainterPath stripes;
    const qreal slant = r.height() * 0.8;
    for (qreal x = r.left() - slant; x < r.right(); x += period)
        stripes.addPath(polygonPath(
            {{x, r.bottom()}, {x + period / 2, r.bottom()}, {x + period / 2 + slant, r.top()}, {x + slant, r.top()}}));
    p.setBrush(colour(Ink));
    p.drawPath(stripes.intersected(bar));
    p.setBrush(Qt::NoBrush);
    p.setPen(edge(Ink, lineWidth));
    p.drawRect(r);
}

// ---- the pictures ---------------------------------------------------------

void drawDir(QPainter &p, bool small)
{
    drawFolder(p, small, true);
}

// No file at all: only the dashed trace of a page.
void drawNon(QPainter &p, bool small)
{
    const QRectF r = small ? box(1.5, 0.5, 11.5, 12.5) : box(5.5, 1.5, 26.5, 30.5);
    QPen pen = edge(TextLine);
    pen.setDashPattern(small ? QList<qreal> {2, 1} : QList<qreal> {3, 2});
    p.setPen(pen);
    p.setBrush(colour(PageShade, 140));
    p.drawRect(r);
}

void drawBmp(QPainter &p, bool small)
{
    const QRectF outer = small ? box(0.5, 1.5, 12.5, 11.5) : box(2.5, 4.5, 29.5, 27.5);
    const QRectF inner = small ? box(2, 3, 11, 10) : box(5.5, 7.5, 26.5, 24.5);
    p.setPen(edge(WoodEdge));
    p.setBrush(shade(outer.top(), outer.bottom(), Wood, WoodDeep));
    p.drawRect(outer);

    p.setPen(Qt::NoPen);
    p.setBrush(shade(inner.top(), inner.bottom(), SkyTop, Sky));
    p.drawRect(inner);
    if (small) {
        fillRect(p, QRectF(8, 4, 2, 2), Sun);
        p.setBrush(colour(GrassDeep));
        p.drawPath(polygonPath({{2, 10}, {2, 8}, {4.5, 5.5}, {8, 9}, {8, 10}}));
        p.setBrush(colour(Grass));
        p.drawPath(polygonPath({{5, 10}, {8.5, 7}, {11, 8.5}, {11, 10}}));
        return;
    }
    p.setBrush(colour(Sun));
    p.drawEllipse(QPointF(21.5, 12), 2.6, 2.6);
    QPainterPath far;
    far.moveTo(inner.left(), 21);
    far.quadTo(12, 10, 20, 20);
    far.lineTo(20, inner.bottom());
    far.lineTo(inner.left(), inner.bottom());
    p.setBrush(colour(GrassDeep));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(10, inner.bottom());
    near.quadTo(18, 14, inner.right(), 19);
    near.lineTo(inner.right(), inner.bottom());
    p.setBrush(colour(Grass));
    p.drawPath(near);
    p.setBrush(Qt::NoBrush);
    p.setPen(edge(WoodEdge));
    p.drawRect(inner);
}

void drawZip(QPainter &p, bool small)
{
    const Page page = pageFor(small);
    drawPage(p, page, qRgb(0xf6, 0xe7, 0xbd), qRgb(0xe6, 0xcc, 0x86), qRgb(0x8c, 0x6d, 0x2a));
    if (small) {
        for (int y = 1; y < 7; ++y)
            fillRect(p, QRectF(y % 2 ? 5 : 6, y, 2, 1), Slate);
        p.setPen(edge(Ink));
        p.setBrush(colour(Metal));
        p.drawRect(box(4.5, 7.5, 8.5, 11.5));
        return;
    }
    for (int y = 2; y < 19; ++y)
        fillRect(p, QRectF(y % 2 ? 13.5 : 15.5, y, 3, 1), Slate);
    p.setPen(edge(Ink, 1.0, Qt::RoundJoin));
    p.setBrush(shade(19, 28, qRgb(0xe3, 0xe7, 0xec), Metal));
    p.drawRoundedRect(box(12.5, 18.5, 19.5, 27.5), 1.5, 1.5);
    p.setBrush(colour(Slate));
    p.drawRoundedRect(box(14.5, 22.5, 17.5, 25.5), 0.8, 0.8);
}

// A written page: a heading, paragraphs and the pen that wrote them.
void drawDoc(QPainter &p, bool small)
{
    if (small) {
        drawPage(p, pageFor(true), White, qRgb(0xe4, 0xee, 0xfb), BlueEdge);
        fillRect(p, QRectF(3, 2, 5, 2), Blue);
        p.setPen(edge(TextLine));
        for (qreal y : {5.5, 7.5})
            p.drawLine(QPointF(3, y), QPointF(10, y));
        for (qreal y : {9.5, 11.5})
            p.drawLine(QPointF(3, y), QPointF(6, y));
        // The pen, pixel by pixel: a two-pixel stroke down to a dark tip.
        for (int i = 0; i < 4; ++i) {
            fillRect(p, QRectF(10 - i, 6 + i, 1, 1), Blue);
            fillRect(p, QRectF(11 - i, 6 + i, 1, 1), BlueEdge);
        }
        fillRect(p, QRectF(7, 10, 1, 1), Ink);
        return;
    }
    drawPage(p, pageFor(false), White, qRgb(0xe4, 0xee, 0xfb), BlueEdge);
    fillRect(p, box(9, 6, 18, 9), Blue);
    p.setPen(edge(TextLine));
    for (qreal y : {12.5, 15.5, 18.5})
        p.drawLine(QPointF(9.5, y), QPointF(22.5, y));
    for (qreal y : {21.5, 24.5, 27.5})
        p.drawLine(QPointF(9.5, y), QPointF(15.5, y));

    // A fountain pen laid across the corner, drawn upright and tilted.
    p.save();
    p.translate(15, 28);
    p.rotate(45);
    p.setPen(edge(BlueEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(-17, -8, Blue, BlueDeep));
    p.drawRoundedRect(box(-2.5, -17, 2.5, -8), 1, 1);
    p.setBrush(shade(-8, 0, qRgb(0xd6, 0xe6, 0xfa), Blue));
    p.drawPath(polygonPath({{0, 0}, {-2.5, -5}, {-2.5, -8}, {2.5, -8}, {2.5, -5}}));
    p.drawLine(QPointF(0, -1), QPointF(0, -4.5));
    p.restore();
}

// A sheet of figures: header row and column, one cell picked, a sum above.
void drawXls(QPainter &p, bool small)
{
    const QRgb gridLine = qRgb(0x7c, 0xc5, 0x96);
    if (small) {
        drawPage(p, pageFor(true), White, qRgb(0xe8, 0xf5, 0xec), GreenEdge);
        fillRect(p, QRectF(2, 4, 9, 2), GreenPale);
        fillRect(p, QRectF(2, 6, 2, 6), GreenPale);
        p.setPen(edge(gridLine));
        for (qreal x : {4.5, 7.5})
            p.drawLine(QPointF(x, 4), QPointF(x, 12));
        for (qreal y : {6.5, 9.5})
            p.drawLine(QPointF(2, y), QPointF(11, y));
        return;
    }
    drawPage(p, pageFor(false), White, qRgb(0xe8, 0xf5, 0xec), GreenEdge);
    fillRect(p, box(6, 11, 26, 14), GreenPale);
    fillRect(p, box(6, 14, 10, 30), GreenPale);
    p.setPen(edge(gridLine));
    for (qreal x : {10.5, 15.5, 20.5})
        p.drawLine(QPointF(x, 10.5), QPointF(x, 30));
    for (qreal y : {10.5, 14.5, 18.5, 22.5, 26.5})
        p.drawLine(QPointF(6, y), QPointF(26, y));
    p.setPen(edge(GreenDeep));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box(15.5, 18.5, 20.5, 22.5));
    p.setPen(edge(GreenDeep, 1.0, Qt::MiterJoin));
    p.drawPolyline(QPolygonF({{13, 3.5}, {8.5, 3.5}, {11, 6}, {8.5, 8.5}, {13, 8.5}}));
    p.setPen(edge(TextLine));
    p.drawLine(QPointF(15, 6.5), QPointF(19, 6.5));
}

// A slide in landscape: a title and a chart, on a page rather than a screen.
void drawPpt(QPainter &p, bool small)
{
    const QRgb slideShade = qRgb(0xfd, 0xe6, 0xd8);
    if (small) {
        drawPage(p, {box(0.5, 1.5, 12.5, 11.5), 3}, White, slideShade, OrangeEdge);
        fillRect(p, QRectF(2, 3, 6, 2), Orange);
        fillRect(p, QRectF(3, 8, 2, 3), Orange);
        fillRect(p, QRectF(6, 6, 2, 5), OrangeDeep);
        fillRect(p, QRectF(9, 7, 2, 4), Red);
        return;
    }
    drawPage(p, {box(1.5, 5.5, 30.5, 26.5), 6}, White, slideShade, OrangeEdge);
    fillRect(p, box(4, 8, 22, 12), Orange);

    const QPointF c(10.5, 19.5);
    const qreal r = 4.5;
    p.setPen(edge(OrangeEdge, 1.0, Qt::RoundJoin));
    p.setBrush(colour(OrangePale));
    p.drawEllipse(c, r, r);
    QPainterPath wedge;
    wedge.moveTo(c);
    wedge.arcTo(QRectF(c - QPointF(r, r), QSizeF(2 * r, 2 * r)), 90, -125);
    wedge.closeSubpath();
    p.setBrush(colour(Orange));
    p.drawPath(wedge);

    fillRect(p, box(18, 19, 21, 24), Orange);
    fillRect(p, box(22, 15, 25, 24), OrangeDeep);
    fillRect(p, box(26, 17, 28, 24), Red);
    p.setPen(edge(Slate));
    p.drawLine(QPointF(17, 24.5), QPointF(29, 24.5));
}

// The slide show runs on a screen: unlike the presentation it is no page.
void drawPps(QPainter &p, bool small)
{
    if (small) {
        p.setPen(edge(Slate));
        p.drawLine(QPointF(6.5, 9), QPointF(6.5, 11));
        p.drawLine(QPointF(6.5, 10.5), QPointF(4, 13));
        p.drawLine(QPointF(6.5, 10.5), QPointF(9, 13));
        p.setPen(edge(PageEdge));
        p.setBrush(shade(1, 9, White, PageShade));
        p.drawRect(box(1.5, 1.5, 11.5, 9.5));
        fillRect(p, QRectF(0, 0, 13, 2), Slate);
        p.setPen(Qt::NoPen);
        p.setBrush(colour(Orange));
        p.drawPath(polygonPath({{5, 3.5}, {5, 8.5}, {9, 6}}));
        return;
    }
    p.setPen(stroke(colour(Slate), 1.5));
    p.drawLine(QPointF(16, 23), QPointF(16, 27));
    p.drawLine(QPointF(16, 26), QPointF(10.5, 30.5));
    p.drawLine(QPointF(16, 26), QPointF(21.5, 30.5));
    p.setPen(edge(PageEdge));
    p.setBrush(shade(5, 23, White, PageShade));
    p.drawRect(box(4.5, 5.5, 27.5, 23.5));
    p.setPen(edge(Ink, 1.0, Qt::RoundJoin));
    p.setBrush(shade(2, 6, qRgb(0x6b, 0x75, 0x84), Slate));
    p.drawRoundedRect(box(2.5, 2.5, 29.5, 6.5), 1.5, 1.5);
    p.setPen(edge(OrangeEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(9, 20, Orange, OrangeDeep));
    p.drawPath(polygonPath({{13, 9.5}, {13, 19.5}, {21.5, 14.5}}));
}

void drawExe(QPainter &p, bool small)
{
    if (small) {
        p.setPen(edge(BlueEdge));
        p.setBrush(colour(qRgb(0xf4, 0xf6, 0xf9)));
        p.drawRect(box(0.5, 1.5, 12.5, 11.5));
        fillRect(p, QRectF(1, 2, 11, 2), Blue);
        fillRect(p, QRectF(10, 2, 1, 1), White);
        p.setPen(Qt::NoPen);
        p.setBrush(colour(Slate));
        p.drawPath(gearPath({6.5, 7.5}, 3.2, 2.2, 6, 0.9));
        return;
    }
    const QRectF frame = box(2.5, 4.5, 29.5, 27.5);
    p.setPen(edge(BlueEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(frame.top(), frame.bottom(), White, PageShade));
    p.drawRoundedRect(frame, 1.5, 1.5);
    // The title bar keeps the frame's round top corners and ends square.
    QPainterPath rounded;
    rounded.addRoundedRect(box(2.5, 4.5, 29.5, 14), 1.5, 1.5);
    QPainterPath top;
    top.addRect(box(2, 4, 30, 10.5));
    p.setBrush(shade(4.5, 10.5, Blue, BlueDeep));
    p.drawPath(rounded.intersected(top));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (qreal x : {20, 23, 26})
        p.drawRect(QRectF(x, 7, 2, 2));
    p.setPen(edge(Ink, 1.0, Qt::RoundJoin));
    p.setBrush(shade(13, 26, qRgb(0x9a, 0xa4, 0xb2), qRgb(0x6a, 0x74, 0x82)));
    p.drawPath(gearPath({16, 19}, 6.5, 4.6, 8, 2));
}

void drawMsg(QPainter &p, bool small)
{
    const QRectF r = small ? box(0.5, 2.5, 12.5, 10.5) : box(2.5, 6.5, 29.5, 25.5);
    const QPointF tip = small ? QPointF(6.5, 7.5) : QPointF(16, 18);
    p.setPen(edge(BlueEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(r.top(), r.bottom(), White, qRgb(0xdf, 0xe8, 0xf3)));
    p.drawRect(r);
    if (!small) {
        p.setPen(edge(qRgb(0x9d, 0xb4, 0xd0), 1.0, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({r.bottomLeft(), {13, 16.5}}));
        p.drawPolyline(QPolygonF({r.bottomRight(), {19, 16.5}}));
    }
    p.setPen(edge(BlueEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(r.top(), tip.y(), qRgb(0xe9, 0xf1, 0xfb), qRgb(0xc4, 0xd6, 0xee)));
    p.drawPath(polygonPath({r.topLeft(), tip, r.topRight()}));
    if (!small) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour(Red));
        p.drawEllipse(tip, 2.2, 2.2);
    }
}

void drawIni(QPainter &p, bool small)
{
    drawPage(p, pageFor(small));
    if (small) {
        p.setPen(edge(TextLine));
        for (qreal y : {4.5, 7.5, 10.5})
            p.drawLine(QPointF(3, y), QPointF(10, y));
        for (QPointF knob : {QPointF(4, 3), QPointF(7, 6), QPointF(5, 9)})
            fillRect(p, QRectF(knob, QSizeF(2, 3)), Teal);
        return;
    }
    p.setPen(stroke(colour(TextLine), 1.5, Qt::RoundCap));
    for (qreal y : {11.5, 17.5, 23.5})
        p.drawLine(QPointF(9.5, y), QPointF(22.5, y));
    p.setPen(edge(TealEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(8, 27, qRgb(0x4a, 0xc4, 0xb9), Teal));
    for (QPointF knob : {QPointF(12.5, 11.5), QPointF(19.5, 17.5), QPointF(14.5, 23.5)})
        p.drawRoundedRect(QRectF(knob - QPointF(2, 3), QSizeF(4, 6)), 1, 1);
}

void drawTxt(QPainter &p, bool small)
{
    drawPage(p, pageFor(small));
    if (small)
        drawTextLines(p, 3, 10, {4.5, 6.5, 8.5, 10.5}, Slate);
    else
        drawTextLines(p, 9.5, 22.5, {10.5, 13.5, 16.5, 19.5, 22.5, 25.5});
}

void drawHlp(QPainter &p, bool small)
{
    const QRectF pages = small ? box(2.5, 1.5, 11.5, 12.5) : box(7.5, 3.5, 27.5, 30.5);
    const QRectF cover = small ? box(1.5, 0.5, 10.5, 11.5) : box(5.5, 1.5, 25.5, 28.5);
    p.setPen(edge(PageEdge, 1.0, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawRect(pages);
    p.setPen(edge(PurpleEdge, 1.0, Qt::RoundJoin));
    p.setBrush(shade(cover.top(), cover.bottom(), Purple, PurpleDeep));
    p.drawRect(cover);
    if (small) {
        p.setPen(stroke(Qt::white, 1.3, Qt::FlatCap));
        QPainterPath q;
        q.moveTo(4.2, 4.2);
        q.cubicTo(4.2, 1.6, 8.6, 1.6, 8.6, 4.2);
        q.cubicTo(8.6, 5.8, 6.5, 5.6, 6.5, 7.8);
        p.setBrush(Qt::NoBrush);
        p.drawPath(q);
        fillRect(p, QRectF(6, 9, 1.3, 1.3), White);
        return;
    }
    p.setPen(edge(PurpleEdge));
    p.drawLine(QPointF(8.5, 2), QPointF(8.5, 28));
    p.setPen(stroke(Qt::white, 2.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath q;
    q.moveTo(12.5, 10.5);
    q.cubicTo(12.5, 5.5, 21.5, 5.5, 21.5, 10.5);
    q.cubicTo(21.5, 14, 17, 13.5, 17, 18);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(17, 22.5), 1.7, 1.7);
}

void drawNone(QPainter &p, bool small)
{
    drawPage(p, pageFor(small));
}

void drawAvi(QPainter &p, bool small)
{
    if (small) {
        p.setPen(edge(Ink));
        p.setBrush(colour(Slate));
        p.drawRect(box(0.5, 2.5, 12.5, 10.5));
        for (int x = 1; x < 12; x += 2) {
            fillRect(p, QRectF(x, 3, 1, 1), Metal);
            fillRect(p, QRectF(x, 9, 1, 1), Metal);
        }
        for (int x : {1, 5, 9})
            fillRect(p, QRectF(x, 5, 3, 3), Sky);
        return;
    }
    p.setPen(edge(Ink, 1.0, Qt::RoundJoin));
    p.setBrush(shade(6, 26, qRgb(0x55, 0x5f, 0x6d), qRgb(0x34, 0x3b, 0x46)));
    p.drawRect(box(1.5, 6.5, 30.5, 25.5));
    p.setPen(Qt::NoPen);
    p.setBrush(colour(qRgb(0xe6, 0xea, 0xef)));
    for (qreal x = 3; x < 30; x += 4) {
        p.drawRoundedRect(QRectF(x, 8, 2, 2), 0.5, 0.5);
        p.drawRoundedRect(QRectF(x, 22, 2, 2), 0.5, 0.5);
    }
    for (qreal x : {3.5, 12.5, 21.5}) {
        const QRectF frame(x, 11.5, 7, 9);
        p.setBrush(shade(frame.top(), frame.bottom(), SkyTop, Sky));
        p.drawRect(frame);
        p.setBrush(colour(Grass));
        p.drawPath(polygonPath({{x, 20.5}, {x, 18}, {x + 3, 15.5}, {x + 7, 19}, {x + 7, 20.5}}));
    }
}

// The clapperboard of the film set, unlike the video's strip.
void drawMpg(QPainter &p, bool small)
{
    if (small) {
        p.setPen(edge(Ink));
        p.setBrush(colour(Slate));
        p.drawRect(box(1.5, 5.5, 11.5, 11.5));
        p.setPen(edge(Metal));
        p.drawLine(QPointF(3, 8.5), QPointF(10, 8.5));
        drawStripedBar(p, box(1.5, 1.5, 11.5, 4.5), 4, 1);
        return;
    }
    p.setPen(edge(Ink, 1.0, Qt::RoundJoin));
    p.setBrush(shade(14, 30, qRgb(0x55, 0x5f, 0x6d), qRgb(0x2c, 0x33, 0x3d)));
    p.drawRect(box(3.5, 14.5, 28.5, 29.5));
    p.setPen(edge(qRgb(0x8a, 0x94, 0xa2)));
    p.drawLine(QPointF(6, 19.5), QPointF(26, 19.5));
    p.drawLine(QPointF(6, 24.5), QPointF(26, 24.5));
    p.drawLine(QPointF(16.5, 19.5), QPointF(16.5, 29));
    drawStripedBar(p, box(3.5, 10.5, 28.5, 14.5), 6, 1);
    p.save();
    p.translate(3.5, 10.5);
    p.rotate(-14);
    drawStripedBar(p, box(0, -4, 25, 0), 6, 1);
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(colour(Metal));
    p.drawEllipse(QPointF(4, 10.5), 1.2, 1.2);
}

void drawJpg(QPainter &p, bool small)
{
    if (small) {
        p.setPen(edge(Ink));
        p.setBrush(colour(Slate));
        p.drawRect(box(3.5, 1.5, 8.5, 3.5));
        p.drawRect(box(0.5, 3.5, 12.5, 11.5));
        fillRect(p, QRectF(10, 5, 2, 1), Yellow);
        p.setPen(edge(Ink));
        p.setBrush(colour(Iris));
        p.drawEllipse(QPointF(6.5, 7.5), 3, 3);
        return;
    }
    p.setPen(edge(Ink, 1.0, Qt::RoundJoin));
    p.setBrush(colour(Slate));
    p.drawRoundedRect(box(10.5, 5.5, 20.5, 10.5), 1.5, 1.5);
    p.setBrush(colour(Red));
    p.drawRoundedRect(box(4.5, 7.5, 8.5, 10.5), 0.8, 0.8);
    p.setBrush(shade(9, 28, qRgb(0x62, 0x6c, 0x7a), qRgb(0x36, 0x3d, 0x48)));
    p.drawRoundedRect(box(2.5, 9.5, 29.5, 27.5), 3, 3);
    p.setBrush(shade(10, 15, White, Yellow));
    p.drawRect(box(23.5, 12.5, 27.5, 15.5));
    const QPointF c(15.5, 18.5);
    p.setBrush(colour(Ink));
    p.drawEllipse(c, 7, 7);
    QRadialGradient glass(c + QPointF(-1.5, -1.5), 5.5);
    glass.setColorAt(0, colour(qRgb(0x9a, 0xd4, 0xff)));
    glass.setColorAt(1, colour(qRgb(0x1c, 0x4a, 0x86)));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawEllipse(c, 4.6, 4.6);
    p.setBrush(colour(White, 220));
    p.drawEllipse(c + QPointF(-1.6, -1.6), 1.2, 1.2);
}

// Several frames in a stack: the animated image, with simple shapes.
void drawGif(QPainter &p, bool small)
{
    const QRectF back = small ? box(4.5, 0.5, 12.5, 8.5) : box(10.5, 2.5, 29.5, 20.5);
    const QRectF middle = small ? QRectF() : box(6.5, 6.5, 25.5, 24.5);
    const QRectF front = small ? box(0.5, 3.5, 9.5, 12.5) : box(2.5, 10.5, 21.5, 29.5);
    p.setPen(edge(PurpleEdge));
    p.setBrush(colour(qRgb(0xd9, 0xcd, 0xf2)));
    p.drawRect(back);
    if (!small) {
        p.setBrush(colour(qRgb(0xec, 0xe5, 0xf9)));
        p.drawRect(middle);
    }
    p.setBrush(Qt::white);
    p.drawRect(front);
    p.setPen(Qt::NoPen);
    if (small) {
        p.setBrush(colour(Red));
        p.drawEllipse(QRectF(1.5, 4.5, 4, 4));
        fillRect(p, QRectF(5, 8, 3, 3), Blue);
        p.setBrush(colour(Green));
        p.drawPath(polygonPath({{1, 12}, {3, 8.5}, {5, 12}}));
        return;
    }
    p.setBrush(colour(Red));
    p.drawEllipse(QPointF(8.5, 16.5), 3.2, 3.2);
    p.setBrush(colour(Blue));
    p.drawRect(QRectF(13, 13.5, 6, 6));
    p.setBrush(colour(Green));
    p.drawPath(polygonPath({{5, 27.5}, {9.5, 20}, {14, 27.5}}));
    p.setBrush(colour(Amber));
    p.drawPath(polygonPath({{15, 27.5}, {17.5, 22}, {20, 27.5}}));
}

} // namespace

// ---- the state and window pictures ---------------------------------------

void drawEye(QPainter &p, bool small)
{
    if (small)
        drawEyeIn(p, box(0.5, 2.5, 12.5, 10.5), 2.9, 1.2, true);
    else
        drawEyeIn(p, box(1.5, 8.5, 30.5, 23.5), 7.2, 3, false);
}

void drawLightOn(QPainter &p, bool small)
{
    const QPointF c = small ? QPointF(6.5, 5.5) : QPointF(16, 13);
    const qreal r = small ? 3.6 : 8;
    if (!small) {
        QRadialGradient glow(c, 15);
        glow.setColorAt(0, colour(Yellow, 150));
        glow.setColorAt(0.55, colour(Yellow, 60));
        glow.setColorAt(1, colour(Yellow, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(c, 15, 15);
    }
    // Rays all round but below, where the screw base sits.
    p.setPen(stroke(colour(qRgb(0xf5, 0x9e, 0x0b)), small ? 1.1 : 1.6));
    for (int deg : {180, 225, 270, 315, 0}) {
        const qreal a = deg * std::numbers::pi / 180;
        const QPointF d(std::cos(a), std::sin(a));
        const qreal from = small ? r + 1.4 : r + 2.5;
        const qreal to = small ? r + 2.6 : r + 5.5;
        p.drawLine(c + d * from, c + d * to);
    }
    QPainterPath glass;
    glass.addEllipse(c, r, r);
    if (small)
        glass = glass.united(polygonPath({{4, 7}, {9, 7}, {8.5, 9.5}, {4.5, 9.5}}));
    else
        glass = glass.united(polygonPath({{11, 17}, {21, 17}, {19.5, 23.5}, {12.5, 23.5}}));
    QRadialGradient g(c + QPointF(-r * 0.3, -r * 0.35), r * 1.5);
    g.setColorAt(0, colour(qRgb(0xff, 0xfc, 0xe6)));
    g.setColorAt(0.45, colour(Yellow));
    g.setColorAt(1, colour(Amber));
    p.setPen(edge(AmberEdge, 1.0, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(glass);
    if (small) {
        p.setPen(edge(Slate));
        p.setBrush(colour(Metal));
        p.drawRect(box(4.5, 9.5, 8.5, 11.5));
        fillRect(p, QRectF(5.5, 12, 2, 1), Slate);
        return;
    }
    p.setPen(stroke(colour(qRgb(0xe0, 0x7b, 0x00)), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{13.5, 23}, {13.5, 15}, {14.7, 13}, {15.9, 15}, {17.1, 13}, {18.5, 15}, {18.5, 23}}));
    p.setPen(edge(Slate, 1.0, Qt::RoundJoin));
    p.setBrush(shade(23.5, 28.5, qRgb(0xdc, 0xe1, 0xe8), qRgb(0x8e, 0x98, 0xa6)));
    p.drawRect(box(12.5, 23.5, 19.5, 28.5));
    p.drawLine(QPointF(12.5, 26), QPointF(19.5, 26));
    p.setBrush(colour(Slate));
    p.drawRoundedRect(box(14.5, 28.5, 17.5, 30.5), 1, 1);
}

void drawWindow(QPainter &p, bool small)
{
    drawFolder(p, small, false);
    if (small)
        drawEyeIn(p, box(1.5, 5.5, 11.5, 11.5), 2.2, 0.9, true);
    else
        drawEyeIn(p, box(5.5, 14.5, 26.5, 26.5), 5, 2.2, false);
}

QImage render(int size, Drawing draw)
{
    if (size <= 0)
        return {};
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const bool small = size < SmallLimit;
    if (small && size >= SmallGrid) {
        // Whole-pixel offset keeps the small grid aligned at 14..19 px.
        const int offset = (size - SmallGrid) / 2;
        p.translate(offset, offset);
    } else {
        const qreal scale = qreal(size) / (small ? SmallGrid : LargeGrid);
        p.scale(scale, scale);
    }
    draw(p, small);
    return img;
}

const QHash<QString, Drawing> &drawings()
{
    static const QHash<QString, Drawing> table = {
        {QStringLiteral("Dir"), drawDir}, {QStringLiteral("Non"), drawNon},   {QStringLiteral("Bmp"), drawBmp},
        {QStringLiteral("Zip"), drawZip}, {QStringLiteral("Doc"), drawDoc},   {QStringLiteral("Xls"), drawXls},
        {QStringLiteral("Ppt"), drawPpt}, {QStringLiteral("Pps"), drawPps},   {QStringLiteral("Exe"), drawExe},
        {QStringLiteral("Msg"), drawMsg}, {QStringLiteral("Ini"), drawIni},   {QStringLiteral("Txt"), drawTxt},
        {QStringLiteral("Hlp"), drawHlp}, {QStringLiteral("None"), drawNone}, {QStringLiteral("Avi"), drawAvi},
        {QStringLiteral("Mpg"), drawMpg}, {QStringLiteral("Jpg"), drawJpg},   {QStringLiteral("Gif"), drawGif},
    };
    return table;
}

QIcon iconOf(Drawing draw)
{
    QIcon icon;
    for (int size : {13, 16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(render(size, draw)));
    return icon;
}

} // namespace IconArt
