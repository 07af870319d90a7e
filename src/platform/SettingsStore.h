#pragma once

// The per-user store that holds the two overrides an installer or a
// technician may set (data directory, register address): the registry on
// Windows, the platform's own settings store elsewhere. The reader's rules
// live above this interface; a store only fetches raw values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavor1 {

struct StoredValue {
    enum class Type {
        String,  // text (UTF-8 here)
        DWord,   // a 32-bit number
        Other,   // anything else: binary, lists, ...
    };
    Type type = Type::Other;
    std::string text;
    std::uint32_t dword = 0;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The value under the sub-key (backslash-separated, registry style), or
    // nothing when the key or the value is absent or cannot be read.
    virtual std::optional<StoredValue> read(std::string_view subKey, std::string_view valueName) const = 0;
};

} // namespace tavor1
