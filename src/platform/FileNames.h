#pragma once

#include <QByteArray>
#include <QString>

// File names as the kernel holds them (bytes) and as the program shows them
// (text). Valid UTF-8 becomes its text; every byte that is not valid UTF-8
// becomes a lone surrogate (U+DC80 to U+DCFF) and turns back into the same
// byte, so that any name read from a folder names the same file again.
namespace FileNames {

QString decode(const char *bytes, qsizetype size);
inline QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}
QByteArray encode(const QString &name);

} // namespace FileNames
