#include "settings/RegistrySettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

namespace tavor1 {
namespace {

using test::TempDir;

// The program's key with its values; counts its reads, to prove that refused
// sub-keys never reach it.
class FakeStore final : public SettingsStore {
public:
    std::optional<StoredValue> read(std::string_view subKey, std::string_view valueName) const override
    {
        ++reads;
        const auto it = values.find(std::string(valueName));
        if (subKey != kRegistryKey || it == values.end())
            return std::nullopt;
        return it->second;
    }

    std::map<std::string, StoredValue> values;
    mutable int reads = 0;
};

StoredValue text(std::string t)
{
    return StoredValue{StoredValue::Type::String, std::move(t), 0};
}

StoredValue dword(std::uint32_t v)
{
    return StoredValue{StoredValue::Type::DWord, {}, v};
}

TEST(ReadRegistryValue, RefusesMalformedSubKeysWithoutAskingTheStore)
{
    FakeStore store;
    std::string value = "untouched";
    for (const char* key : {"\\SOFTWARE\\Zef", "SOFTWARE\\Zef\\", "SOFTWARE\\\\Zef", ""})
        EXPECT_FALSE(readRegistryValue(store, key, "IPAddress", value)) << key;
    EXPECT_EQ(store.reads, 0);
    EXPECT_EQ(value, "untouched");
}

TEST(ReadRegistryValue, ReadsEachTypeAsText)
{
    const struct {
        const char* name;
        StoredValue stored;
        const char* read;
    } cases[] = {{"StringWithItsNul", text(std::string("D:\\Dati\0", 8)), "D:\\Dati"},
                 {"NumberMinusOne", dword(0xFFFFFFFFu), "-1"},
                 {"MostNegativeNumber", dword(0x80000000u), "-2147483648"},
                 {"Binary", StoredValue{}, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeStore store;
        store.values["v"] = c.stored;
        std::string value = "untouched";
        ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "v", value));
        EXPECT_EQ(value, c.read);
    }
}

TEST(RegistryOverrides, CustomDataDirectoryMustExist)
{
    TempDir dir("tavor1 dati già ");
    FakeStore store;
    const std::pair<std::string, std::string> cases[] = {{dir.path() + "\\", dir.path()},
                                                         {dir.path(), dir.path()},
                                                         {dir.file("assente"), ""},
                                                         {dir.write("un file", ""), ""}};
    for (const auto& [stored, used] : cases) {
        store.values["CustomPathDataDir"] = text(stored);
        EXPECT_EQ(readCustomDataDir(store), used) << stored;
    }
}

TEST(RegistryOverrides, AddressIsReturnedAsStored)
{
    FakeStore store;
    store.values["IPAddress"] = text("192.168.1.50");
    EXPECT_EQ(readIpAddress(store), "192.168.1.50");
}

} // namespace
} // namespace tavor1
