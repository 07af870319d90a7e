#pragma once

#include "platform/SettingsStore.h"

#include <string>
#include <string_view>

namespace tavor1 {

// Where the overrides live, registry style; other stores map it to their own
// place (see platform/qt/QSettingsStore).
inline constexpr std::string_view kRegistryKey = "SOFTWARE\\Zef Engineering\\ZEFTAVOR1";

// Reads one value as text: a string as it is (one trailing NUL dropped), a
// 32-bit number as signed decimal text (0xFFFFFFFF reads "-1"), any other
// type as an empty text. A sub-key that begins or ends with a backslash or
// holds two in a row is refused before the store is asked. False when the
// value could not be read; nothing is thrown.
bool readRegistryValue(const SettingsStore& store, std::string_view subKey, std::string_view valueName,
                       std::string& value);

// "CustomPathDataDir" without its trailing separator when it names an
// existing directory, else an empty text (no override).
std::string readCustomDataDir(const SettingsStore& store);

// "IPAddress" as stored, or an empty text when absent or empty. The caller
// validates it.
std::string readIpAddress(const SettingsStore& store);

} // namespace tavor1
