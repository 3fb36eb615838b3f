// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "settings/SettingsStore.h"

#include "platform/Background.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

struct Entry {
    Setting setting;
    const char *section;
    const char *key;
    const char *defaultValue; // nullptr: no default, an absent key reads as ""
};

// The complete table of settings.
constexpr std::array<Entry, 18> kEntries {{
    {Setting::MainTop, "Main", "Top", nullptr},
    {Setting::MainLeft, "Main", "Left", nullptr},
    {Setting::MainWidth, "Main", "Width", nullptr},
    {Setting::MainHeight, "Main", "Height", nullptr},
    {Setting::MainWindow, "Main", "Window", nullptr},
    {Setting::Driver, "Setting", "Driver", "x:\\"},
    {Setting::Path, "Setting", "Path", "x:\\temp\\Pelmo"},
    {Setting::AuditTimeout, "Setting", "Audit Timeout", "60000"},
    {Setting::Column1, "List View", "Column1", nullptr},
    {Setting::Column2, "List View", "Column2", nullptr},
    {Setting::Column3, "List View", "Column3", nullptr},
    {Setting::Column4, "List View", "Column4", nullptr},
    {Setting::ColumnSize1, "FileList", "ColumnSize1", "1100"},
    {Setting::ColumnSize2, "FileList", "ColumnSize2", "420"},
    {Setting::ColumnSize3, "FileList", "ColumnSize3", "320"},
    {Setting::ColumnSize4, "FileList", "ColumnSize4", "320"},
    {Setting::ColumnSize5, "FileList", "ColumnSize5", "520"},
    {Setting::Tray, "Setting", "Tray", nullptr},
}};

const Entry &entry(Setting setting)
{
    const Entry &e = kEntries[static_cast<std::size_t>(setting)];
    Q_ASSERT(e.setting == setting);
    return e;
}

QString path(Setting setting)
{
    const Entry &e = entry(setting);
    return QLatin1String(e.section) + QLatin1Char('/') + QLatin1String(e.key);
}

// A section or key as QSettings writes it in an INI file: "List View" is
// "List%20View", and a '/' within a key is a '\\'.
QByteArray iniKey(const QString &key)
{
    QByteArray out;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u == u'/')
            out += '\\';
        else if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_'
                 || u == u'-' || u == u'.')
            out += char(u);
        else if (u <= 0xFF)
            out += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(u, 16).toUpper().rightJustified(4, '0');
    }
    return out;
}

// A text value as QSettings writes it and reads it back.
QByteArray iniText(const QString &text)
{
    // A leading '@' would announce a typed value.
    QString out = text.startsWith(QLatin1Char('@')) ? QStringLiteral("@") : QString();
    bool quoted = text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    // Hex digits right after a "\x" escape would be read as part of it.
    bool afterHex = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        quoted = quoted || u == u';' || u == u',' || u == u'=';
        const bool hexDigit = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        // A byte of a name that is not valid UTF-8 stands alone as a low
        // surrogate: escaped, it reads back as itself.
        const bool loneLow = c.isLowSurrogate() && (i == 0 || !text.at(i - 1).isHighSurrogate());
        if (u < 0x20 || loneLow || (afterHex && hexDigit)) {
            out += QStringLiteral("\\x") + QString::number(u, 16);
            afterHex = true;
            continue;
        }
        afterHex = false;
        if (u == u'"' || u == u'\\')
            out += QLatin1Char('\\');
        out += c;
    }
    const QByteArray bytes = out.toUtf8();
    return quoted ? '"' + bytes + '"' : bytes;
}

QLocale userLocale()
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

// What the stores of one file share with the rewrites beside the window.
// Guarded by Shared::mutex, which no rewrite holds while it touches the disk.
struct SettingsStore::File {
    QString name;
    // This run's writes, of every store of the file: each rewrite puts them
    // over what the file holds.
    QMap<QString, QString> written;
    // The file's values as last read, for a rewrite that cannot read it.
    Values known;
    bool knownValid = false;
    bool running = false;
    bool dirty = false;
    bool failed = false;
};

namespace {

// Never destroyed: a rewrite left behind on a share that stopped answering
// may come back to it while the program ends.
struct Shared {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
    QHash<QString, std::weak_ptr<SettingsStore::File>> files;
};

Shared &shared()
{
    static auto *s = new Shared;
    return *s;
}

// The values of an INI file; empty when the file is there and cannot be read.
std::optional<SettingsStore::Values> readValues(const QString &fileName)
{
    const QSettings file(fileName, QSettings::IniFormat);
    if (file.status() == QSettings::AccessError)
        return std::nullopt;
    SettingsStore::Values values;
    for (const QString &key : file.allKeys())
        values.insert(key, file.value(key));
    return values;
}

// Writes every value, by section and key; those without a section (here "")
// go in [General]. Values another program wrote as lists stay lists; typed
// ones ("@Rect(...)"), which this program never writes, keep only their text.
bool writeValues(const QString &fileName, const SettingsStore::Values &known, const QMap<QString, QString> &written)
{
    QMap<QString, QMap<QString, QByteArray>> sections;
    const auto put = [&sections](const QString &path, const QByteArray &value) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'));
        sections[slash < 0 ? QString() : path.left(slash)][path.mid(slash + 1)] = value;
    };
    for (auto it = known.cbegin(); it != known.cend(); ++it) {
        if (it->typeId() != QMetaType::QStringList) {
            put(it.key(), iniText(it->toString()));
            continue;
        }
        QByteArrayList items;
        for (const QString &item : it->toStringList())
            items.append(iniText(item));
        put(it.key(), items.join(", "));
    }
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        put(it.key(), iniText(it.value()));

    QByteArray text;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        const QByteArray name = section.key().isEmpty() ? QByteArray("General")
            : section.key() == QLatin1String("General") ? QByteArray("%General")
                                                        : iniKey(section.key());
        text += '[' + name + "]\n";
        for (auto key = section->cbegin(); key != section->cend(); ++key)
            text += iniKey(key.key()) + '=' + key.value() + '\n';
        text += '\n';
    }

    // Through a temporary put in the file's place only when all of it was
    // written. Unbuffered, so that a write the disk refuses fails the
    // commit: Qt's last flush of a buffer goes unchecked, and the empty
    // temporary would replace the file.
    QDir().mkpath(QFileInfo(fileName).path());
    QSaveFile out(fileName);
    return out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && out.write(text) == text.size() && out.commit();
}

// Beside the window: rewrites the file until it holds the newest of this
// run's writes, over what it holds now or, when it cannot be read, over
// what it held when last read. Never over nothing: a file that has not been
// read once stays as it is, and the next write tries again.
void rewrite(std::shared_ptr<SettingsStore::File> file)
{
    Shared &s = shared();
    std::unique_lock<std::mutex> lock(s.mutex);
    while (std::exchange(file->dirty, false)) {
        const QMap<QString, QString> written = file->written;
        std::optional<SettingsStore::Values> known;
        if (file->knownValid)
            known = file->known;
        lock.unlock();
        const std::optional<SettingsStore::Values> read = readValues(file->name);
        if (read)
            known = read;
        const bool saved = known && writeValues(file->name, *known, written);
        lock.lock();
        if (read) {
            file->known = *read;
            file->knownValid = true;
        }
        file->failed = !saved;
        if (!saved)
            break;
    }
    file->running = false;
    // Let go before telling: once no store holds the file either, the next
    // store starts from what the file holds, whoever waited for this.
    file.reset();
    --s.running;
    s.idle.notify_all();
}

} // namespace

SettingsStore::SettingsStore() = default;

void SettingsStore::load() const
{
    if (m_file)
        return;
    // Resolved from the environment now: QSettings keeps the place it found
    // first for the rest of the process.
    m_fileName = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vardel/Vardel.ini");
    Shared &s = shared();
    {
        const std::lock_guard<std::mutex> lock(s.mutex);
        std::weak_ptr<File> &slot = s.files[m_fileName];
        m_file = slot.lock();
        if (!m_file) {
            m_file = std::make_shared<File>();
            m_file->name = m_fileName;
            slot = m_file;
        }
    }
    // What another store of the file asked for is read back here.
    awaitRewrites(kRewriteWaitMs);
    const std::optional<Values> read = readValues(m_fileName);
    if (!read)
        return;
    m_values = *read;
    const std::lock_guard<std::mutex> lock(s.mutex);
    if (!m_file->running) {
        m_file->known = *read;
        m_file->knownValid = true;
    }
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(Setting setting) const
{
    return read(setting, defaultValue(setting).value_or(QString()));
}

QString SettingsStore::read(Setting setting, const QString &fallback) const
{
    load();
    const QVariant value = m_values.value(path(setting));
    if (!value.isValid())
        return fallback;
    // A value that another program wrote as a list or a number still reads as text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::write(Setting setting, const QString &text)
{
    load();
    const QString key = path(setting);
    const QVariant stored = m_values.value(key);
    if (stored.typeId() == QMetaType::QString && stored.toString() == text) {
        // After a rewrite the disk refused, the next write tries again.
        const std::lock_guard<std::mutex> lock(shared().mutex);
        if (!m_file->failed)
            return;
    }
    m_values.insert(key, text);
    m_unsaved.insert(key, text);
    if (m_batches == 0)
        save();
}

void SettingsStore::save()
{
    Shared &s = shared();
    const std::lock_guard<std::mutex> lock(s.mutex);
    m_file->written.insert(std::exchange(m_unsaved, {}));
    m_file->dirty = true;
    if (m_file->running)
        return; // the rewrite running takes the newest state when it ends
    m_file->running = true;
    ++s.running;
    // Each rewrite waits for the disk twice, and on a slow or stopped share
    // for as long as it takes: never on the window's thread.
    Background::post(QFileInfo(m_fileName).path(), [file = m_file]() mutable { rewrite(std::move(file)); });
}

bool SettingsStore::awaitRewrites(int ms)
{
    Shared &s = shared();
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.idle.wait_for(lock, std::chrono::milliseconds(ms), [&s] { return s.running == 0; });
}

SettingsStore::Batch::Batch(SettingsStore &store)
    : m_store(store)
{
    ++m_store.m_batches;
}

SettingsStore::Batch::~Batch()
{
    if (--m_store.m_batches == 0 && !m_store.m_unsaved.isEmpty())
        m_store.save();
}

std::optional<double> SettingsStore::readNumber(Setting setting) const
{
    return parseNumber(read(setting));
}

void SettingsStore::writeNumber(Setting setting, double value)
{
    write(setting, numberText(value));
}

QString SettingsStore::fileName() const
{
    load();
    return m_fileName;
}

QString SettingsStore::section(Setting setting)
{
    return QLatin1String(entry(setting).section);
}

QString SettingsStore::key(Setting setting)
{
    return QLatin1String(entry(setting).key);
}

std::optional<QString> SettingsStore::defaultValue(Setting setting)
{
    const char *value = entry(setting).defaultValue;
    if (!value)
        return std::nullopt;
    return QString::fromLatin1(value);
}

Setting SettingsStore::listViewColumn(int column)
{
    Q_ASSERT(column >= 1 && column <= 4);
    return static_cast<Setting>(static_cast<int>(Setting::Column1) + column - 1);
}

Setting SettingsStore::columnSize(int column)
{
    Q_ASSERT(column >= 1 && column <= 5);
    return static_cast<Setting>(static_cast<int>(Setting::ColumnSize1) + column - 1);
}

QString SettingsStore::numberText(double value)
{
    // Widths and places are single precision. Fixed notation: no exponent,
    // which a reader of the file would not expect ("1E+05" in German).
    return userLocale().toString(static_cast<float>(value), 'f', QLocale::FloatingPointShortest);
}

std::optional<double> SettingsStore::parseNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = userLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
