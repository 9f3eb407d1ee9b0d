// CQtAppSettings: the settings store of the desktop application, an INI file in the user's
// configuration folder ("Korvane/Korvane Quillbox.ini") reached through QSettings. Each
// section is an INI group. Sections and keys match case-insensitively, so a value written
// as "Format" is found as "format"; the first spelling written is the one kept.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "platform/app_settings.h"

inline constexpr char kSettingsOrganisation[] = "Korvane";
inline constexpr char kSettingsApplication[] = "Korvane Quillbox";

class CQtAppSettings final : public CAppSettings {
public:
    // The user's store.
    CQtAppSettings();
    // A store in the given INI file (tests).
    explicit CQtAppSettings(const QString& iniPath);

    [[nodiscard]] int ReadInt(std::u16string_view section, std::u16string_view key,
                              int defaultValue) const override;
    [[nodiscard]] std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                                            std::u16string_view defaultValue = {}) const override;
    bool WriteInt(std::u16string_view section, std::u16string_view key, int value) override;
    bool WriteString(std::u16string_view section, std::u16string_view key,
                     std::u16string_view text) override;

    [[nodiscard]] QString FileName() const { return m_pStore->fileName(); }

private:
    // The stored "group/key" spelling matching section and key case-insensitively, or the
    // given spelling when there is none yet.
    [[nodiscard]] QString StoredKey(std::u16string_view section, std::u16string_view key) const;
    bool Write(std::u16string_view section, std::u16string_view key, const QVariant& value);

    std::unique_ptr<QSettings> m_pStore;
};
