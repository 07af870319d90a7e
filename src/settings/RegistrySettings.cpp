#include "settings/RegistrySettings.h"

#include "platform/ByteFiles.h"

#include <cstdint>

namespace tavor1 {

bool readRegistryValue(const SettingsStore& store, std::string_view subKey, std::string_view valueName,
                       std::string& value)
{
    if (subKey.empty() || subKey.front() == '\\' || subKey.back() == '\\'
        || subKey.find("\\\\") != std::string_view::npos)
        return false;
    const std::optional<StoredValue> stored = store.read(subKey, valueName);
    if (!stored)
        return false;
    switch (stored->type) {
    case StoredValue::Type::String:
        value = stored->text;
        if (!value.empty() && value.back() == '\0')
            value.pop_back();
        break;
    case StoredValue::Type::DWord:
        value = std::to_string(static_cast<std::int32_t>(stored->dword));
        break;
    case StoredValue::Type::Other:
        value.clear();
        break;
    }
    return true;
}

std::string readCustomDataDir(const SettingsStore& store)
{
    std::string path;
    if (!readRegistryValue(store, kRegistryKey, "CustomPathDataDir", path) || path.empty())
        return {};
    // One trailing separator is allowed ("D:\Dati\"); the data directory is
    // kept without it.
    if (path.back() == '\\' || (path.back() == '/' && path.size() > 1))
        path.pop_back();
    if (path.empty() || !isDirectory(path))
        return {};
    return path;
}

std::string readIpAddress(const SettingsStore& store)
{
    std::string address;
    if (!readRegistryValue(store, kRegistryKey, "IPAddress", address))
        return {};
    return address;
}

} // namespace tavor1
