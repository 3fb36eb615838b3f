// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

// Every value the program keeps between runs.
enum class Setting {
    MainTop,
    MainLeft,
    MainWidth,
    MainHeight,
    MainWindow,
    Driver,
    Path,
    AuditTimeout,
    Column1,
    Column2,
    Column3,
    Column4,
    ColumnSize1,
    ColumnSize2,
    ColumnSize3,
    ColumnSize4,
    ColumnSize5,
    Tray,
};

// The per-user store of text values, addressed by section and key, kept in
// Vardel/Vardel.ini under the user's configuration folder. Every section,
// key and default is declared once, in SettingsStore.cpp.
//
// The file is read at the store's first use and rewritten beside the window:
// in order, one rewrite at a time, each with the newest of this run's
// writes. A rewrite puts them over what the file holds then (values other
// programs left included) or, when the file cannot be read back, over what
// it held when last read; a file that could never be read is left as it is.
class SettingsStore
{
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The stored text; when absent, the declared default or the empty text.
    QString read(Setting setting) const;
    // The stored text; when absent, the given fallback.
    QString read(Setting setting, const QString &fallback) const;
    // Stores the text; its rewrite of the file is asked for now (or, within
    // a Batch, when the batch ends) and runs beside the window. A text
    // already stored is not written again, so storing what has not changed
    // touches no file. The file is replaced whole or not at all: a write that
    // the file system refuses leaves the old file, without complaint, and
    // the next write tries again.
    void write(Setting setting, const QString &text);

    // Writes made while a batch lives reach the disk together, in one
    // rewrite of the file, when the outermost batch ends.
    class Batch
    {
    public:
        explicit Batch(SettingsStore &store);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        SettingsStore &m_store;
    };

    // The stored text read as a number in the user's locale; empty when
    // absent or not a finite number.
    std::optional<double> readNumber(Setting setting) const;
    void writeNumber(Setting setting, double value);

    // Where the store keeps its values.
    QString fileName() const;

    // The longest the exit waits for the last rewrite (a home on a share
    // that stopped answering must not hold it).
    static constexpr int kRewriteWaitMs = 5000;
    // Waits at most ms for every rewrite asked for so far; false when one
    // still runs.
    static bool awaitRewrites(int ms);

    using Values = QMap<QString, QVariant>;
    struct File;

    static QString section(Setting setting);
    static QString key(Setting setting);
    static std::optional<QString> defaultValue(Setting setting);

    // Column n (1-based) of the two width sections.
    static Setting listViewColumn(int column); // "List View" "Column1".."Column4"
    static Setting columnSize(int column); // "FileList" "ColumnSize1".."ColumnSize5"

    // Numbers as the user's locale writes them, without group separators;
    // a whole number has no decimal point.
    static QString numberText(double value);
    static std::optional<double> parseNumber(const QString &text);

private:
    // At the first use: finds the file and reads it, once the rewrites of it
    // that other stores asked for have ended.
    void load() const;
    // Hands the writes not yet asked for to the rewrite.
    void save();

    mutable QString m_fileName;
    mutable std::shared_ptr<File> m_file;
    // What read() gives, by "section/key": the file as read, and the writes.
    mutable Values m_values;
    QMap<QString, QString> m_unsaved;
    int m_batches = 0;
};
