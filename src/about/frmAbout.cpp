// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "about/frmAbout.h"

#include "filelist/FileIcons.h"
#include "platform/Background.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "platform/Version.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

frmAbout::frmAbout(Dialogs &dialogs, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(false);
    const double dpi = Twips::screenDpi();
    m_scale = dpi / 1440.0;
    const auto place = [dpi](QWidget *w, double left, double top, double width, double height) {
        w->setGeometry(Twips::toPixels(left, dpi), Twips::toPixels(top, dpi), Twips::toPixels(width, dpi),
                       Twips::toPixels(height, dpi));
    };
    setFixedSize(Twips::toPixels(5730, dpi), Twips::toPixels(3555, dpi));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    place(cmdOK, 4245, 2625, 1260, 345);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    // Enter presses the button that has the focus (in a dialog each button
    // takes it); OK only while no other does.
    place(cmdSysInfo, 4260, 3075, 1245, 345);
    fitButtons();

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(FileIcons::windowIcon().pixmap(32, 32));
    Image1->setAlignment(Qt::AlignCenter);
    place(Image1, 240, 360, 840, 600);

    const auto label = [&](const char *name, double size, bool bold) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        QFont f(QStringLiteral("Sans Serif"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(size);
        f.setBold(bold);
        l->setFont(f);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    lblTitle = label("lblTitle", 18, true);
    place(lblTitle, 1320, 240, 4245, 480);
    lblVersion = label("lblVersion", 12, true);
    place(lblVersion, 1320, 780, 4245, 345);
    lblDescription = label("lblDescription", 12, false);
    place(lblDescription, 1320, 1245, 4245, 1050);

    setTabOrder(cmdOK, cmdSysInfo);
    // OK is the default button for Enter; Esc rejects, which closes the box too.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
    Form_Load();
}

void frmAbout::fitButtons()
{
    // A caption wider than the design's button in the desktop's font widens
    // the button to the left, so that both still end at the same edge. The
    // style's own hint leaves the caption almost touching the bevel: half a
    // line's height on each side reads better.
    for (QPushButton *button : {cmdOK, cmdSysInfo}) {
        const QFontMetrics fm = button->fontMetrics();
        QString caption = button->text();
        caption.remove(QLatin1Char('&'));
        const int need = std::max(button->sizeHint().width(), fm.horizontalAdvance(caption) + fm.height());
        QRect r = button->geometry();
        r.setLeft(std::min(r.left(), r.right() + 1 - need));
        button->setGeometry(r);
    }
}

void frmAbout::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitButtons();
}

QString frmAbout::versionText()
{
    return QStringLiteral("Version ") + Version::text();
}

void frmAbout::Form_Load()
{
    const QString title = QStringLiteral("Vardel");
    setWindowTitle(QStringLiteral("About ") + title);
    lblVersion->setText(versionText());
    lblTitle->setText(title);
    lblDescription->setText(QStringLiteral("The Vardel Utility scans directory to detect changes in files."));
}

void frmAbout::StartSysInfo()
{
    // Looking the tool up reads folders: beside the window's thread.
    Background::run(
        QStringLiteral("system information"), this, [where = m_sysInfo] { return SysInfo::start(where); },
        [this](bool started) {
            if (!started)
                m_dialogs.message(
                    this, {QStringLiteral("System Information Is Unavailable At This Time"), QStringLiteral("Vardel")});
        });
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter p(this);
    const auto px = [this](double twips) { return twips * m_scale; };
    // Four thin bars in the left margin, behind the icon.
    p.setPen(Qt::NoPen);
    const QColor bar = palette().color(QPalette::Mid);
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRectF(px(120 + i * 90), px(120), px(30), px(2200)), bar);
    // The etched separator above the buttons.
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.drawLine(QPointF(px(120), px(2445)), QPointF(px(5654), px(2445)));
    p.setPen(QPen(palette().color(QPalette::Light), 2));
    p.drawLine(QPointF(px(120), px(2460)), QPointF(px(5654), px(2460)));
}
