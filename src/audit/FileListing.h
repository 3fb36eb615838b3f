#pragma once

#include <QString>

#include <vector>

// One plain file of a folder, with what the list shows of it, read in the
// same sweep as its name.
struct ListedFile {
    QString name;
    qint64 size = 0; // bytes
    qint64 mtime = 0; // seconds since the epoch
    int error = 0; // errno when the file's attributes could not be read
};

// File1: the plain files directly in one folder (regular files and links to
// them), hidden names and special files left out, in name order ignoring
// case with ties broken by the exact name. Never shown.
class FileListing
{
public:
    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    // Lists the folder again; false (and no files) when it cannot be read.
    bool refresh();

    int count() const { return int(m_files.size()); }
    const ListedFile &at(int index) const { return m_files[std::size_t(index)]; }
    const std::vector<ListedFile> &files() const { return m_files; }

private:
    QString m_path;
    std::vector<ListedFile> m_files;
    std::size_t m_lastCount = 0;
};
