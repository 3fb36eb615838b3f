// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>

#include <cstdint>

// A file's name in the bytes the disk gave (at most 255 of them), as a row
// keeps it; decoded only when it is shown or acted on.
struct NameView {
    const char *data = nullptr;
    int size = 0;
    bool ascii = true; // no byte above 0x7f: it sorts and decodes the fast way

    QString text() const;
    bool operator==(const NameView &other) const;
};

// One file of the list, kept plain: 24 bytes and its name, once, in its
// table's names. Its texts are formed when the list asks for them.
struct FileRow {
    enum Flag : std::uint8_t {
        New = 1, // not in the catalogue
        Unread = 2, // its attributes could not be read: no size, no time
        Absent = 4, // a name looked up and not found (in a list of changes)
        Unlisted = 8, // a name the listing gave whose file it could not find
        // A link, or a file with more than one name: its file may change
        // where no event of this folder tells (a link's target elsewhere,
        // a write through another name), so every tick reads it again.
        Linked = 16,
        Shared = 32, // a file of more than one name
        Arriving = 64, // a new file still being written
    };
    std::uint32_t name = 0; // where the name lies in the table's names
    std::uint8_t type = 0; // index into the file type table
    std::uint8_t flags = 0;
    std::uint8_t error = 0; // errno when the attributes could not be read
    std::uint8_t hash = 0; // a byte of the name's hash: finds it without reading it
    std::int64_t size = 0; // bytes
    std::int64_t mtime = 0; // seconds since the epoch

    bool isNew() const { return flags & New; }
    bool isArriving() const { return flags & Arriving; }
    bool timeKnown() const { return !(flags & Unread); }
};
static_assert(sizeof(FileRow) == 24);

// AddListItem: the fields of the row of one listed file, with its status
// (new or not) and its type. A file whose attributes could not be read
// (error) still gets its row, without a size or a time.
FileRow AddListItem(NameView FName, std::int64_t size, std::int64_t mtime, int error, bool FStatusNew);
