#include "platform/qt/QSettingsStore.h"

#include <QSettings>
#include <QVariant>

#include <memory>

namespace tavor1 {

namespace {

constexpr const char* kOrganisation = "Zef Engineering";
constexpr const char* kApplication = "ZEFTAVOR1";
constexpr const char* kOwnKey = "SOFTWARE\\Zef Engineering\\ZEFTAVOR1";

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The group of a sub-key inside the program's own store; empty for the
// program's key itself.
QString groupOf(std::string_view subKey)
{
    const QString key = fromUtf8(subKey);
    const QString own = QString::fromLatin1(kOwnKey);
    if (key.compare(own, Qt::CaseInsensitive) == 0)
        return {};
    QString group = key;
    if (group.startsWith(own + '\\', Qt::CaseInsensitive))
        group = group.mid(own.size() + 1);
    return group.replace('\\', '/');
}

StoredValue toStoredValue(const QVariant& v)
{
    StoredValue out;
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        out.type = StoredValue::Type::String;
        out.text = v.toString().toStdString();
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        out.type = StoredValue::Type::DWord;
        out.dword = static_cast<std::uint32_t>(v.toLongLong());
        break;
    default:
        out.type = StoredValue::Type::Other;
        break;
    }
    return out;
}

} // namespace

QSettingsStore::QSettingsStore() = default;

QSettingsStore::QSettingsStore(const QString& iniFile)
    : m_iniFile(iniFile)
{
}

std::optional<StoredValue> QSettingsStore::read(std::string_view subKey, std::string_view valueName) const
{
    std::unique_ptr<QSettings> settings;
    QString key = fromUtf8(valueName);
    if (!m_iniFile.isEmpty()) {
        settings = std::make_unique<QSettings>(m_iniFile, QSettings::IniFormat);
        const QString group = groupOf(subKey);
        if (!group.isEmpty())
            key = group + '/' + key;
    } else {
#ifdef Q_OS_WIN
        settings = std::make_unique<QSettings>("HKEY_CURRENT_USER\\" + fromUtf8(subKey), QSettings::NativeFormat);
#else
        settings = std::make_unique<QSettings>(kOrganisation, kApplication);
        const QString group = groupOf(subKey);
        if (!group.isEmpty())
            key = group + '/' + key;
#endif
    }
    if (settings->status() != QSettings::NoError || !settings->contains(key))
        return std::nullopt;
    return toStoredValue(settings->value(key));
}

} // namespace tavor1
