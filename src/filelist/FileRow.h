#pragma once

#include <QString>

// One file of the list, kept plain; its texts are formed when the list asks
// for them, so a row costs no more than its fields.
struct FileRow {
    QString name;
    QString status;
    qint64 size = 0; // bytes
    qint64 mtime = 0; // seconds since the epoch
    int type = 0; // index into the file type table
    bool timeKnown = true;

    static FileRow make(const QString &name, const QString &status, qint64 size, qint64 mtime);
};
