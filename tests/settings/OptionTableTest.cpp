// The options by name: what `tavor1 options` sets must come back from the
// files as set, a refused value must change nothing, and a driver saving at
// exit must keep what was set meanwhile.

#include "settings/OptionTable.h"
#include "settings/OptionFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

struct NamedValue {
    const char* name;
    const char* value; // as typed
    const char* readBack; // as listed after saving and loading again
};

class OptionRoundTrip : public ::testing::TestWithParam<NamedValue> { };

TEST_P(OptionRoundTrip, ASetValueComesBackFromTheFiles)
{
    const NamedValue& c = GetParam();
    test::TempDir dir;
    Options options;
    const OptionRow* row = findOptionRow(c.name);
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(row->set(options, c.value), "");
    ASSERT_TRUE(saveOptionFiles(dir.path(), options));
    ASSERT_TRUE(saveTimerFile(dir.path(), options));

    Options loaded;
    readOptionFiles(dir.path(), loaded);
    EXPECT_EQ(row->get(loaded), c.readBack) << dir.read("TVCHKSCO.TXT");
    // Every other option is as it was.
    for (const OptionRow& other : optionRows()) {
        if (&other != row) {
            EXPECT_EQ(other.get(loaded), other.get(Options{})) << other.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ByName, OptionRoundTrip,
    ::testing::Values(NamedValue{"txtRemoteIP", "192.168.1.50", "192.168.1.50"},
                      NamedValue{"txtRemoteIP", " 10.0.0.7 ", "10.0.0.7"}, NamedValue{"chbPagamentiEstesi", "1", "1"},
                      NamedValue{"chkCodFisc", "0", "0"}, NamedValue{"cboToutConn", "40", "40 sec."},
                      NamedValue{"cboToutConn", "60 sec.", "60 sec."}, NamedValue{"OptionFAST", "0", "0"},
                      NamedValue{"Check3", "0", "0"}, NamedValue{"chbConvXonXoff", "1", "1"},
                      NamedValue{"txtTimerVal", "250", "250"}, NamedValue{"chbDescrizione", "1", "1"},
                      NamedValue{"chbtrace", "1", "1"}),
    [](const auto& info) { return std::string(info.param.name) + "_" + std::to_string(info.index); });

struct BadValue {
    const char* name;
    const char* value;
    const char* explains; // a piece of the message
};

class OptionRefusal : public ::testing::TestWithParam<BadValue> { };

TEST_P(OptionRefusal, ABadValueIsRefusedWithAReasonAndChangesNothing)
{
    const BadValue& c = GetParam();
    Options options;
    const OptionRow* row = findOptionRow(c.name);
    ASSERT_NE(row, nullptr);
    const std::string before = row->get(options);
    const std::string why = row->set(options, c.value);
    EXPECT_NE(why.find(c.explains), std::string::npos) << why;
    EXPECT_EQ(row->get(options), before);
}

INSTANTIATE_TEST_SUITE_P(
    ByName, OptionRefusal,
    ::testing::Values(BadValue{"txtRemoteIP", "192.168.1.256", "IPv4"}, BadValue{"txtRemoteIP", "cassa1", "IPv4"},
                      BadValue{"txtRemoteIP", "1.2.3.4.5", "IPv4"}, BadValue{"chbTrace", "si", "0 o 1"},
                      BadValue{"Check1", "2", "0 o 1"}, BadValue{"cboToutConn", "25", "10, 20, 30"},
                      BadValue{"txtTimerVal", "0", "da 1 a 60"}, BadValue{"txtTimerVal", "75", "da 1 a 60"}),
    [](const auto& info) { return std::string(info.param.name) + "_" + std::to_string(info.index); });

TEST(OptionTable, AnUnknownNameHasNoRow)
{
    EXPECT_EQ(findOptionRow("txtRemoteIp2"), nullptr);
    EXPECT_NE(findOptionRow("TXTREMOTEIP"), nullptr);
}

TEST(OptionMerge, TheDriversOwnChangesWinAndTheOthersAreKept)
{
    Options base;
    Options mine = base;
    mine.chbPagamentiEstesi = true; // an RT register turned it on while running
    Options theirs = base;
    theirs.txtRemoteIP = "192.168.1.50"; // set with `tavor1 options` meanwhile
    theirs.chbTrace = true;

    const Options merged = mergeOptions(base, mine, theirs);
    EXPECT_TRUE(merged.chbPagamentiEstesi);
    EXPECT_EQ(merged.txtRemoteIP, "192.168.1.50");
    EXPECT_TRUE(merged.chbTrace);
}

} // namespace
} // namespace tavor1
