#include "settings/SettingsStore.h"

#include <QLocale>
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
constexpr std::array<Entry, 17> kEntries {{
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
    const QVariant value = m_settings->value(path(setting));
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
    const QVariant stored = m_settings->value(key);
    if (m_settings->status() == QSettings::NoError && stored.typeId() == QMetaType::QString
        && stored.toString() == text)
        return;
    m_settings->setValue(key, text);
    // Every rewrite of the file waits for the disk twice; under load that is
    // a tenth of a second each.
    if (m_batches > 0)
        m_unsynced = true;
    else
        m_settings->sync();
}

SettingsStore::Batch::Batch(SettingsStore &store)
    : m_store(store)
{
    ++m_store.m_batches;
}

SettingsStore::Batch::~Batch()
{
    if (--m_store.m_batches == 0 && m_store.m_unsynced) {
        m_store.m_unsynced = false;
        m_store.m_settings->sync();
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
