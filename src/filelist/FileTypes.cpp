// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/FileTypes.h"

#include "filelist/FileRow.h"

#include <array>
#include <vector>

namespace {

struct TableRow {
    std::array<const char *, 4> keys; // unused slots are nullptr
    const char *description;
    const char *iconKey;
};

// Looked up in this order; the first row with an equal key wins, so ".mpeg"
// names ("PEG") are typed as JPEG pictures.
constexpr TableRow kTable[] = {
    {{"EXE"}, "Application", "Exe"},
    {{"BAT"}, "MS-DOS Batch File", "Exe"},
    {{"COM"}, "MS-DOS Application", "Exe"},
    {{"TXT"}, "Text Document", "Txt"},
    {{"LOG"}, "LOG File", "Txt"},
    {{"INI"}, "Configuration Setting", "Ini"},
    {{"INF"}, "Setup Information", "Ini"},
    {{"WRI"}, "Write Document", "Ini"},
    {{"HLP"}, "Help File", "Hlp"},
    {{"MSG"}, "Msg File", "Msg"},
    {{"DOC"}, "Microsoft Word Document", "Doc"},
    {{"XLS"}, "Microsoft Excel Worksheet", "Xls"},
    {{"PPT"}, "Microsoft PowerPoint Presentation", "Ppt"},
    {{"PPS"}, "Microsoft PowerPoint SlideShow", "Pps"},
    {{"ZIP"}, "WinZip File", "Zip"},
    {{"BMP"}, "Bitmap Image", "Bmp"},
    {{"GIF"}, "GIF Image", "Gif"},
    {{"JPG", "PEG"}, "JPEG Image", "Jpg"},
    {{"M1V", "MPA", "MPE", "MPG"}, "Movie Clip", "Mpg"},
    {{"AVI"}, "Video Clip", "Avi"},
};
constexpr int kRows = int(std::size(kTable));

const std::vector<FileType> &types()
{
    static const std::vector<FileType> all = [] {
        std::vector<FileType> v;
        for (const TableRow &row : kTable)
            v.push_back({QString::fromLatin1(row.description), QString::fromLatin1(row.iconKey)});
        v.push_back({QStringLiteral("Unknown File"), QStringLiteral("None")});
        return v;
    }();
    return all;
}

int rowOf(const char (&key)[3])
{
    for (int r = 0; r < kRows; ++r) {
        for (const char *k : kTable[r].keys) {
            if (k && k[0] == key[0] && k[1] == key[1] && k[2] == key[2])
                return r;
        }
    }
    return kRows;
}

} // namespace

int fileTypeIndex(const QString &name)
{
    // Every key is three ASCII characters, so only names whose last three
    // characters upper-case to ASCII can match.
    if (name.size() < 3)
        return kRows;
    char key[3];
    for (int i = 0; i < 3; ++i) {
        const QChar c = name.at(name.size() - 3 + i);
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            key[i] = char(u - u'a' + 'A');
        else if (u < 0x80)
            key[i] = char(u);
        else if (const char16_t up = c.toUpper().unicode(); up < 0x80)
            key[i] = char(up); // the dotless i and the long s upper-case to Latin letters
        else
            return kRows;
    }
    return rowOf(key);
}

int fileTypeIndex(const NameView &name)
{
    if (!name.ascii)
        return fileTypeIndex(name.text());
    if (name.size < 3)
        return kRows;
    char key[3];
    for (int i = 0; i < 3; ++i) {
        const char c = name.data[name.size - 3 + i];
        key[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    }
    return rowOf(key);
}

const FileType &fileTypeAt(int index)
{
    const auto &all = types();
    if (index < 0 || index >= int(all.size()))
        return all.back();
    return all[std::size_t(index)];
}

int fileTypeCount()
{
    return int(types().size());
}

FileType LookupFileType(const QString &name)
{
    return fileTypeAt(fileTypeIndex(name));
}
