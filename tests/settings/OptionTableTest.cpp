// The options by name: what `tavor1 options` sets is read back as set, a
// refused value changes nothing, and a driver saving at exit keeps what was
// set meanwhile.

#include "settings/OptionTable.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

struct NamedValue {
    const char* name;
    const char* value; // as typed
    const char* readBack; // as listed afterwards; nullptr: refused
    const char* explains = nullptr; // a piece of the refusal's message
};

class OptionByName : public ::testing::TestWithParam<NamedValue> { };

TEST_P(OptionByName, AValueIsTakenOrRefusedWithAReasonAndNothingElseChanges)
{
    const NamedValue& c = GetParam();
    Options options;
    const OptionRow* row = findOptionRow(c.name);
    ASSERT_NE(row, nullptr);
    const std::string why = row->set(options, c.value);
    if (c.readBack) {
        EXPECT_EQ(why, "");
        EXPECT_EQ(row->get(options), c.readBack);
    } else {
        EXPECT_NE(why.find(c.explains), std::string::npos) << why;
    }
    for (const OptionRow& other : optionRows()) {
        if (&other != row || !c.readBack) {
            EXPECT_EQ(other.get(options), other.get(Options{})) << other.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ByName, OptionByName,
    ::testing::Values(NamedValue{"txtRemoteIP", " 10.0.0.7 ", "10.0.0.7"}, NamedValue{"chbPagamentiEstesi", "1", "1"},
                      NamedValue{"chkCodFisc", "0", "0"}, NamedValue{"cboToutConn", "40", "40 sec."},
                      NamedValue{"cboToutConn", "60 sec.", "60 sec."}, NamedValue{"Check3", "0", "0"},
                      NamedValue{"chbConvXonXoff", "1", "1"}, NamedValue{"txtTimerVal", "250", "250"},
                      NamedValue{"chbtrace", "1", "1"}, NamedValue{"txtRemoteIP", "cassa1", nullptr, "IPv4"},
                      NamedValue{"chbTrace", "si", nullptr, "0 o 1"}, NamedValue{"Check1", "2", nullptr, "0 o 1"},
                      NamedValue{"cboToutConn", "25", nullptr, "10, 20, 30"},
                      NamedValue{"txtTimerVal", "0", nullptr, "da 1 a 60"},
                      NamedValue{"txtTimerVal", "75", nullptr, "da 1 a 60"}),
    [](const auto& info) {
        return std::string(info.param.name) + (info.param.readBack ? "_Taken_" : "_Refused_") +
               std::to_string(info.index);
    });

TEST(OptionTable, AnUnknownNameHasNoRow)
{
    EXPECT_EQ(findOptionRow("txtRemoteIp2"), nullptr);
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
