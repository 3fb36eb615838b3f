#include "settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>

#include <array>
#include <cmath>

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

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vardel"),
                                             QStringLiteral("Vardel")))
{ }

SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(Setting setting) const
{
    return read(setting, defaultValue(setting).value_or(QString()));
}

QString SettingsStore::read(Setting setting, const QString &fallback) const
{
    const QString key = path(setting);
    if (const auto written = m_written.constFind(key); written != m_written.cend())
        return *written;
    const QVariant value = m_settings->value(key);
    if (!value.isValid())
        return fallback;
    // A value that another program wrote as a list or a number still reads as text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::write(Setting setting, const QString &text)
{
    const QString key = path(setting);
    // Read from memory: the values stored are the program's own. After a
    // write the disk refused, the next one tries again.
    const QVariant stored = m_written.contains(key) ? QVariant(m_written.value(key)) : m_settings->value(key);
    if (!m_saveFailed && stored.typeId() == QMetaType::QString && stored.toString() == text)
        return;
    m_written.insert(key, text);
    // Every rewrite of the file waits for the disk twice; under load that is
    // a tenth of a second each.
    if (m_batches > 0)
        m_unsaved = true;
    else
        save();
}

void SettingsStore::save()
{
    // Every value of the file, by section and key; those without a section
    // (here "") are written in [General]. Values another program wrote as
    // lists stay lists; typed ones ("@Rect(...)"), which this program never
    // writes, keep only their text.
    QMap<QString, QMap<QString, QByteArray>> sections;
    const auto put = [&sections](const QString &path, const QByteArray &value) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'));
        sections[slash < 0 ? QString() : path.left(slash)][path.mid(slash + 1)] = value;
    };
    // The file's own values only, not those of the system-wide fallbacks.
    const QSettings file(fileName(), QSettings::IniFormat);
    for (const QString &key : file.allKeys()) {
        const QVariant value = file.value(key);
        if (value.typeId() != QMetaType::QStringList) {
            put(key, iniText(value.toString()));
            continue;
        }
        QByteArrayList items;
        for (const QString &item : value.toStringList())
            items.append(iniText(item));
        put(key, items.join(", "));
    }
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it)
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
    QDir().mkpath(QFileInfo(fileName()).path());
    QSaveFile out(fileName());
    m_saveFailed
        = !(out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && out.write(text) == text.size() && out.commit());
}

SettingsStore::Batch::Batch(SettingsStore &store)
    : m_store(store)
{
    ++m_store.m_batches;
}

SettingsStore::Batch::~Batch()
{
    if (--m_store.m_batches == 0 && m_store.m_unsaved) {
        m_store.m_unsaved = false;
        m_store.save();
    }
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
    return m_settings->fileName();
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
