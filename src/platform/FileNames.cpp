// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/FileNames.h"

namespace FileNames {

namespace {

// The length of the valid UTF-8 sequence at p, or 0.
int sequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    int len;
    char32_t min;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (end - p < len)
        return 0;
    char32_t cp = c & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

QString decode(const char *bytes, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = p + size;
    // Most names are plain ASCII or valid UTF-8: decode those the fast way.
    bool valid = true;
    for (const unsigned char *q = p; q < end;) {
        const int len = sequenceLength(q, end);
        if (len == 0) {
            valid = false;
            break;
        }
        q += len;
    }
    if (valid)
        return QString::fromUtf8(bytes, size);

    QString out;
    out.reserve(size);
    while (p < end) {
        const int len = sequenceLength(p, end);
        if (len == 0) {
            out.append(QChar(char16_t(0xDC00 + *p)));
            ++p;
            continue;
        }
        out.append(QString::fromUtf8(reinterpret_cast<const char *>(p), len));
        p += len;
    }
    return out;
}

QByteArray encode(const QString &name)
{
    bool escaped = false;
    for (const QChar c : name) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            escaped = true;
            break;
        }
    }
    if (!escaped)
        return name.toUtf8();

    QByteArray out;
    out.reserve(name.size() * 3);
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = name.at(i).unicode();
        if (u >= 0xDC80 && u <= 0xDCFF) {
            // A lone surrogate stands for the byte it was decoded from;
            // real pairs are taken whole below, so this one is alone.
            out.append(char(u - 0xDC00));
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            out.append(name.mid(i, 2).toUtf8());
            ++i;
            continue;
        }
        out.append(QString(QChar(u)).toUtf8());
    }
    return out;
}

bool nameLess(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c < 0 || (c == 0 && a < b);
}

QString folderWithSlash(const QString &folder)
{
    qsizetype end = folder.size();
    while (end > 0 && folder.at(end - 1) == QLatin1Char('/'))
        --end;
    return folder.left(end) + QLatin1Char('/');
}

QString joinPath(const QString &folder, const QString &name)
{
    return folderWithSlash(folder) + name;
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : slash == 0 ? QByteArray("/") : QByteArray(".");
}

} // namespace FileNames
