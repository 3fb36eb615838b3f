// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

// Writes the icon files kept in resources/: the two state icons as .ico
// files beside the program, and the desktop icon in the hicolor theme layout.
//
//   vardel-make-icons [resource folder]

#include "filelist/FileIcons.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QSaveFile>
#include <QTextStream>

#include <functional>

namespace {

// Qt's ico writer stores a single image, so the container is written here:
// a directory followed by one 32-bit BMP entry (colour rows plus the 1-bit
// mask, bottom-up) per size, which every ico reader understands.
QByteArray bmpEntry(const QImage &source)
{
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width();
    const int h = img.height();
    const int maskStride = ((w + 31) / 32) * 4;

    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
        << quint32(w * h * 4 + maskStride * h) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out << quint8(qBlue(line[x])) << quint8(qGreen(line[x])) << quint8(qRed(line[x]))
                << quint8(qAlpha(line[x]));
    }
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), int(row.size()));
    }
    return data;
}

QByteArray icoFile(const QList<QImage> &images)
{
    QList<QByteArray> entries;
    for (const QImage &img : images)
        entries << bmpEntry(img);

    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        // A width or height of 256 is stored as 0.
        out << quint8(images[i].width() & 0xff) << quint8(images[i].height() & 0xff) << quint8(0) << quint8(0)
            << quint16(1) << quint16(32) << quint32(entries[i].size()) << offset;
        offset += quint32(entries[i].size());
    }
    for (const QByteArray &entry : entries)
        out.writeRawData(entry.constData(), int(entry.size()));
    return data;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        QTextStream(stderr) << "cannot write " << path << ": " << file.errorString() << '\n';
        return false;
    }
    return true;
}

// Reads the file back, so a broken container never lands in resources/.
bool readsBack(const QString &path, int expectedCount)
{
    QImageReader reader(path);
    int count = 0;
    do {
        if (reader.read().isNull())
            return false;
        ++count;
    } while (reader.jumpToNextImage());
    return count == expectedCount;
}

bool writeIco(const QString &path, const std::function<QImage(int)> &draw)
{
    const QList<int> sizes = {16, 32, 48};
    QList<QImage> images;
    for (int size : sizes)
        images << draw(size);
    if (!writeFile(path, icoFile(images)))
        return false;
    if (!readsBack(path, int(sizes.size()))) {
        QTextStream(stderr) << path << " does not read back\n";
        return false;
    }
    return true;
}

bool writeThemeIcons(const QString &root)
{
    const QIcon icon = FileIcons::windowIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/icons/hicolor/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(dir)) {
            QTextStream(stderr) << "cannot create " << dir << '\n';
            return false;
        }
        const QImage img = icon.pixmap(QSize(size, size)).toImage();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (img.size() != QSize(size, size) || !img.save(&buffer, "PNG")
            || !writeFile(dir + QStringLiteral("/vardel.png"), png))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Drawing needs no screen; run the same on a build machine.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    const QString root = args.size() > 1 ? args.at(1) : QStringLiteral(VARDEL_RESOURCE_DIR);
    if (!QDir().mkpath(root)) {
        QTextStream(stderr) << "cannot create " << root << '\n';
        return 1;
    }
    const bool ok = writeIco(root + QStringLiteral("/Eye.ico"), FileIcons::eyePicture)
        && writeIco(root + QStringLiteral("/Lighton.ico"), FileIcons::lightOnPicture) && writeThemeIcons(root);
    return ok ? 0 : 1;
}
