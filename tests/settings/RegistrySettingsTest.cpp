#include "settings/RegistrySettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

namespace tavor1 {
namespace {

using test::TempDir;

// A store that counts its reads, to prove that refused sub-keys never reach it.
class FakeStore final : public SettingsStore {
public:
    std::optional<StoredValue> read(std::string_view subKey, std::string_view valueName) const override
    {
        ++reads;
        const auto it = values.find(std::string(subKey) + "|" + std::string(valueName));
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    void set(std::string_view valueName, StoredValue v, std::string_view subKey = kRegistryKey)
    {
        values[std::string(subKey) + "|" + std::string(valueName)] = std::move(v);
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
    FakeStore store;
    store.set("s", text(std::string("D:\\Dati\0", 8)));
    store.set("n", dword(42));
    store.set("neg", dword(0xFFFFFFFFu));
    store.set("top", dword(0x80000000u));
    store.set("bin", StoredValue{});
    std::string v;
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "s", v));
    EXPECT_EQ(v, "D:\\Dati") << "one trailing NUL is dropped";
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "n", v));
    EXPECT_EQ(v, "42");
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "neg", v));
    EXPECT_EQ(v, "-1");
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "top", v));
    EXPECT_EQ(v, "-2147483648");
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "bin", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(readRegistryValue(store, kRegistryKey, "absent", v));
}

TEST(RegistryOverrides, CustomDataDirectoryMustExist)
{
    TempDir dir("tavor1 dati già ");
    FakeStore store;
    EXPECT_EQ(readCustomDataDir(store), "") << "absent: no override";

    store.set("CustomPathDataDir", text(dir.path() + "\\"));
    EXPECT_EQ(readCustomDataDir(store), dir.path());
    store.set("CustomPathDataDir", text(dir.path()));
    EXPECT_EQ(readCustomDataDir(store), dir.path());
    store.set("CustomPathDataDir", text(dir.file("assente")));
    EXPECT_EQ(readCustomDataDir(store), "");
    store.set("CustomPathDataDir", text(dir.write("un file", "")));
    EXPECT_EQ(readCustomDataDir(store), "") << "a file is no data directory";
    store.set("CustomPathDataDir", dword(7));
    EXPECT_EQ(readCustomDataDir(store), "");
}

TEST(RegistryOverrides, AddressIsReturnedAsStored)
{
    FakeStore store;
    EXPECT_EQ(readIpAddress(store), "");
    store.set("IPAddress", text(""));
    EXPECT_EQ(readIpAddress(store), "");
    store.set("IPAddress", text("192.168.1.50"));
    EXPECT_EQ(readIpAddress(store), "192.168.1.50");
}

} // namespace
} // namespace tavor1
