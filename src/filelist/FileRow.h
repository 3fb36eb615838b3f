#pragma once

#include <QString>

// One plain file of a folder, with what the list shows of it, read in the
// same sweep as its name.
struct ListedFile {
    QString name;
    qint64 size = 0; // bytes
    qint64 mtime = 0; // seconds since the epoch
    int error = 0; // errno when the file's attributes could not be read
    int type = -1; // index into the file type table, when known
};

// One file of the list, kept plain; its texts are formed when the list asks
// for them, so a row costs no more than its fields.
struct FileRow {
    QString name;
    QString status;
    qint64 size = 0; // bytes
    qint64 mtime = 0; // seconds since the epoch
    int type = 0; // index into the file type table
    bool timeKnown = true;
};

// The row of one listed file, with its status ("New" or none) and its
// type's pictures. A file whose attributes could not be read still gets its
// row, without a size or a time.
FileRow AddListItem(ListedFile &&FName, const QString &FStatus);
