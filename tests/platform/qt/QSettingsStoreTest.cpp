#include "platform/qt/QSettingsStore.h"
#include "settings/RegistrySettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QSettings>

namespace tavor1 {
namespace {

using test::TempDir;

TEST(QSettingsStore, ReadsTheProgramsKeyAndItsGroups)
{
    TempDir dir("tavor1 impostazioni ");
    const QString ini = QString::fromStdString(dir.file("ZEFTAVOR1.ini"));
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue("CustomPathDataDir", QString::fromUtf8("/srv/dati è"));
        s.setValue("Count", 42); // a DWORD, as the registry holds numbers
        s.setValue("Sub/IPAddress", "10.1.1.1");
    }
    QSettingsStore store(ini);

    std::string v;
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "CustomPathDataDir", v));
    EXPECT_EQ(v, "/srv/dati è");
    ASSERT_TRUE(readRegistryValue(store, kRegistryKey, "Count", v));
    EXPECT_EQ(v, "42");
    ASSERT_TRUE(readRegistryValue(store, std::string(kRegistryKey) + "\\Sub", "IPAddress", v));
    EXPECT_EQ(v, "10.1.1.1");
    EXPECT_FALSE(readRegistryValue(store, kRegistryKey, "IPAddress", v));
}

} // namespace
} // namespace tavor1
