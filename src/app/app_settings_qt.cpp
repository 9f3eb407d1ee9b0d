#include "app/app_settings_qt.h"
#include "app/qt_text.h"

namespace {

QString FindNoCase(const QStringList& names, const QString& wanted) {
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return name;
        }
    }
    return wanted;
}

}  // namespace

CQtAppSettings::CQtAppSettings()
    : m_pStore(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           kSettingsOrganisation, kSettingsApplication)) {}

CQtAppSettings::CQtAppSettings(const QString& iniPath)
    : m_pStore(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QString CQtAppSettings::StoredKey(std::u16string_view section, std::u16string_view key) const {
    const QString group = FindNoCase(m_pStore->childGroups(), ToQString(section));
    m_pStore->beginGroup(group);
    const QString name = FindNoCase(m_pStore->childKeys(), ToQString(key));
    m_pStore->endGroup();
    return group + u'/' + name;
}

int CQtAppSettings::ReadInt(std::u16string_view section, std::u16string_view key,
                            int defaultValue) const {
    const QVariant value = m_pStore->value(StoredKey(section, key));
    if (!value.isValid()) {
        return defaultValue;
    }
    // The INI file keeps every value as text; only a whole decimal number is an integer.
    bool ok = false;
    const int number = value.toString().toInt(&ok);
    return ok ? number : defaultValue;
}

std::u16string CQtAppSettings::ReadString(std::u16string_view section, std::u16string_view key,
                                          std::u16string_view defaultValue) const {
    const QVariant value = m_pStore->value(StoredKey(section, key));
    if (!value.isValid() || !value.canConvert<QString>()) {
        return std::u16string(defaultValue);
    }
    return ToU16(value.toString());
}

bool CQtAppSettings::Write(std::u16string_view section, std::u16string_view key,
                           const QVariant& value) {
    m_pStore->setValue(StoredKey(section, key), value);
    m_pStore->sync();
    return m_pStore->status() == QSettings::NoError;
}

bool CQtAppSettings::WriteInt(std::u16string_view section, std::u16string_view key, int value) {
    return Write(section, key, value);
}

bool CQtAppSettings::WriteString(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view text) {
    return Write(section, key, ToQString(text));
}
