// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/FileIcons.h"

#include "filelist/IconArt.h"

#include <QHash>

namespace FileIcons {

using namespace IconArt;

namespace {

// The small set's keys name the same pictures with an "sml" prefix; anything
// unknown is shown as a plain page.
QString knownKey(const QString &key)
{
    const QString base = key.startsWith(QLatin1String("sml")) ? key.mid(3) : key;
    return drawings().contains(base) ? base : QStringLiteral("None");
}

} // namespace

QStringList largeKeys()
{
    return {QStringLiteral("Dir"), QStringLiteral("Non"),  QStringLiteral("Bmp"), QStringLiteral("Zip"),
            QStringLiteral("Doc"), QStringLiteral("Xls"),  QStringLiteral("Ppt"), QStringLiteral("Pps"),
            QStringLiteral("Exe"), QStringLiteral("Msg"),  QStringLiteral("Ini"), QStringLiteral("Txt"),
            QStringLiteral("Hlp"), QStringLiteral("None"), QStringLiteral("Avi"), QStringLiteral("Mpg"),
            QStringLiteral("Jpg"), QStringLiteral("Gif")};
}

QStringList smallKeys()
{
    return {QStringLiteral("smlTxt"), QStringLiteral("smlNone"), QStringLiteral("smlBmp"), QStringLiteral("smlHlp"),
            QStringLiteral("smlXls"), QStringLiteral("smlPpt"),  QStringLiteral("smlPps"), QStringLiteral("smlNon"),
            QStringLiteral("smlIni"), QStringLiteral("smlZip"),  QStringLiteral("smlMsg"), QStringLiteral("smlExe"),
            QStringLiteral("smlDoc"), QStringLiteral("smlJpg"),  QStringLiteral("smlAvi"), QStringLiteral("smlGif"),
            QStringLiteral("smlMpg")};
}

QImage picture(const QString &key, int size)
{
    return render(size, drawings().value(knownKey(key)));
}

QIcon icon(const QString &key)
{
    static QHash<QString, QIcon> cache;
    const QString known = knownKey(key);
    auto it = cache.find(known);
    if (it == cache.end())
        it = cache.insert(known, iconOf(drawings().value(known)));
    return *it;
}

QImage eyePicture(int size)
{
    return render(size, drawEye);
}

QImage lightOnPicture(int size)
{
    return render(size, drawLightOn);
}

QIcon eyeIcon()
{
    static const QIcon icon = iconOf(drawEye);
    return icon;
}

QIcon lightOnIcon()
{
    static const QIcon icon = iconOf(drawLightOn);
    return icon;
}

QIcon windowIcon()
{
    static const QIcon icon = iconOf(drawWindow);
    return icon;
}

} // namespace FileIcons
