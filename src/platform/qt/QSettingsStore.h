#pragma once

#include "platform/SettingsStore.h"

#include <QString>

namespace tavor1 {

// The per-user settings store through QSettings. On Windows it reads the
// registry under HKEY_CURRENT_USER, the sub-key as given. Elsewhere it reads
// QSettings' native store of organisation "Zef Engineering" and application
// "ZEFTAVOR1": the program's own key "SOFTWARE\Zef Engineering\ZEFTAVOR1" is
// its top level, any other sub-key a group below it.
class QSettingsStore final : public SettingsStore {
public:
    QSettingsStore();
    // An INI file instead of the native store (tests, portable set-ups).
    explicit QSettingsStore(const QString& iniFile);

    std::optional<StoredValue> read(std::string_view subKey, std::string_view valueName) const override;

private:
    QString m_iniFile;
};

} // namespace tavor1
