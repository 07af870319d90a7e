#include "settings/OptionFiles.h"
#include "platform/NativePath.h"
#include "settings/IpAddress.h"
#include "settings/ListFields.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tavor1 {
namespace {

using test::TempDir;

void expectSameOptions(const Options& a, const Options& b)
{
    EXPECT_EQ(a.channelEnabled, b.channelEnabled);
    EXPECT_EQ(a.txtTimerVal, b.txtTimerVal);
    EXPECT_EQ(a.timerIntervalMs, b.timerIntervalMs);
    EXPECT_EQ(optionLines(a), optionLines(b));
    EXPECT_EQ(a.txtRemoteIP, b.txtRemoteIP);
}

struct AddressCase {
    const char* name;
    const char* text;
    bool valid;
};

class ValidateIpAddressTest : public ::testing::TestWithParam<AddressCase> { };

TEST_P(ValidateIpAddressTest, Decides)
{
    EXPECT_EQ(validateIpAddress(GetParam().text), GetParam().valid) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ValidateIpAddressTest,
    ::testing::Values(AddressCase{"Plain", "192.168.1.10", true}, AddressCase{"Limits", "0.0.0.255", true},
                      AddressCase{"Empty", "", false}, AddressCase{"ThreeParts", "192.168.1", false},
                      AddressCase{"Over255", "192.168.1.256", false}, AddressCase{"EmptyPart", "192..1.10", false},
                      AddressCase{"FifthPart", "1.2.3.4.5", false}, AddressCase{"Sign", "-1.2.3.4", false},
                      AddressCase{"Blank", " 1.2.3.4", false}, AddressCase{"Letters", "1.2.3.4a", false},
                      AddressCase{"TrailingDot", "1.2.3.4.", false},
                      AddressCase{"HugeDigits", "99999999999999999999.1.1.1", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListFields, EndAtCommasAndLineEndsAndLoseTheirQuotes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(readListFields("1\r\n0\r\n"), (V{"1", "0"}));
    EXPECT_EQ(readListFields("a,b\r\n c \nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(readListFields("\"x, y \",z\r\n"), (V{"x, y ", "z"}));
    EXPECT_EQ(readListFields("\"open\r\nnext"), (V{"open", "next"})) << "an unclosed quote ends at the line";
    EXPECT_EQ(readListFields("1\r\n\r\n2"), (V{"1", "", "2"}));
    EXPECT_EQ(readListFields(""), V{});
    EXPECT_EQ(readListFields(",,,"), (V{"", "", ""}));
}

class OptionFilesTest : public ::testing::Test {
protected:
    Options load()
    {
        Options o;
        loadOptionFiles(dir.path(), o);
        return o;
    }
    // TVCHKSCO.TXT with the given lines, CR LF after each.
    void writeOptions(std::initializer_list<const char*> lines)
    {
        std::string bytes;
        for (const char* l : lines)
            bytes.append(l).append("\r\n");
        dir.write("TVCHKSCO.TXT", bytes);
    }

    TempDir dir{"tavor1 programma è "};
};

TEST_F(OptionFilesTest, NoFilesGiveTheDefaultsAndTheTimerFileIsWritten)
{
    expectSameOptions(load(), Options{});
    EXPECT_EQ(dir.read("TVTIMER1.TXT"), "1\r\n");
}

TEST_F(OptionFilesTest, SavedOptionsComeBackAsTheyWere)
{
    // Every option away from its default.
    const Options saved{.channelEnabled = {false, true, false, true},
                        .txtTimerVal = "250",
                        .timerIntervalMs = 250,
                        .chbConvXonXoff = true,
                        .chbTrace = true,
                        .chkDisableDisplay = true,
                        .txtRemoteIP = "10.0.0.77",
                        .cboToutConn = 5,
                        .chkCodFisc = false,
                        .OptNonFiscal = false,
                        .chbPagamentiEstesi = true,
                        .chbInversioneScontiSuReso = true,
                        .chbAbilRistampaDaErroreSocket = true,
                        .chbNoInviaApCassetto = true,
                        .chbDisabTotalizzatori = true,
                        .chkForzaIntestazioneFattura = true,
                        .OptionFAST = false,
                        .CheckLogPagamento = true,
                        .CheckStampaLogo = true,
                        .chbMatricola = true,
                        .chbDescrizione = true};
    ASSERT_TRUE(saveOptionFiles(dir.path(), saved));
    ASSERT_TRUE(saveTimerFile(dir.path(), saved));

    expectSameOptions(load(), saved);
    EXPECT_EQ(dir.read("TVCHKCOM.TXT"), "0101\r\n");
    EXPECT_EQ(dir.read("TVCHKXXS.TXT"), "1\r\n");
    EXPECT_FALSE(dir.exists("TVVALIVA.txt")) << "the VAT-rate table is saved by its owner";

    // And the defaults survive a round trip as well.
    ASSERT_TRUE(saveOptionFiles(dir.path(), Options{}));
    ASSERT_TRUE(saveTimerFile(dir.path(), Options{}));
    expectSameOptions(load(), Options{});
    EXPECT_EQ(dir.read("TVCHKSCO.TXT"),
              "0\r\n0\r\n0\r\n \r\n 1 \r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nF\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(OptionFilesTest, ChannelEnables)
{
    dir.write("TVCHKCOM.TXT", "0101\r\n");
    EXPECT_EQ(load().channelEnabled, (std::array<bool, 4>{false, true, false, true}));
    dir.write("TVCHKCOM.TXT", "01\r\n");
    EXPECT_EQ(load().channelEnabled, (std::array<bool, 4>{true, true, true, true})) << "too short";
    dir.write("TVCHKCOM.TXT", "");
    EXPECT_EQ(load().channelEnabled, (std::array<bool, 4>{true, true, true, true})) << "empty";
    dir.write("TVCHKCOM.TXT", "0000");
    EXPECT_EQ(load().channelEnabled, (std::array<bool, 4>{false, false, false, false}));
}

struct TimerCase {
    const char* name;
    const char* file;
    const char* box;
    int interval;
};

class TimerFileTest : public ::testing::TestWithParam<TimerCase> {};

TEST_P(TimerFileTest, SettlesBoxAndInterval)
{
    TempDir dir;
    dir.write("TVTIMER1.TXT", GetParam().file);
    Options o;
    loadOptionFiles(dir.path(), o);
    EXPECT_EQ(o.txtTimerVal, GetParam().box);
    EXPECT_EQ(o.timerIntervalMs, GetParam().interval);
    EXPECT_EQ(dir.read("TVTIMER1.TXT"), std::string(GetParam().box) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Values, TimerFileTest,
    ::testing::Values(TimerCase{"Seconds", "5\r\n", "5", 5000}, TimerCase{"SecondsCapped", "75\r\n", "60", 60000},
                      TimerCase{"Milliseconds", "250\r\n", "250", 250},
                      TimerCase{"MillisecondsCapped", "70000\r\n", "60000", 60000},
                      TimerCase{"Hundred", "100", "100", 100}, TimerCase{"Fraction", "1.5", "1.5", 1500},
                      TimerCase{"Zero", "0\r\n", "1", 1000}, TimerCase{"Negative", "-5\r\n", "1", 1000},
                      TimerCase{"Letters", "abc\r\n", "1", 1000}, TimerCase{"Trailing", "250abc\r\n", "1", 1000},
                      TimerCase{"Empty", "", "1", 1000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionFilesTest, AShortFileKeepsTheDefaultsOfTheMissingLines)
{
    writeOptions({"1", "1", "1", "192.168.0.5", " 3 "});
    const Options o = load();
    EXPECT_TRUE(o.chbTrace);
    EXPECT_TRUE(o.chkDisableDisplay);
    EXPECT_EQ(o.txtRemoteIP, "192.168.0.5");
    EXPECT_EQ(o.cboToutConn, 3);
    EXPECT_TRUE(o.chkCodFisc);
    EXPECT_TRUE(o.OptNonFiscal);
    EXPECT_TRUE(o.OptionFAST);
    EXPECT_FALSE(o.chbMatricola);
}

TEST_F(OptionFilesTest, LineValuesAreReadAsTheirControlsRead)
{
    // Quoted " 1 " is exact-compare false but trimmed-compare true.
    writeOptions({"1", "\" 1 \"", "1", " ", "-3", "\" 1 \"", "\" 1 \"", "\" 1 \"", "0", "0", "0", "0", "0", "S", "1",
                  "1", "1"});
    const Options o = load();
    EXPECT_FALSE(o.chbTrace) << "exactly \"1\" ticks";
    EXPECT_EQ(o.txtRemoteIP, "") << "a blank address line leaves the box empty";
    EXPECT_EQ(o.cboToutConn, 2) << "a negative index selects the third entry";
    EXPECT_FALSE(o.chkCodFisc);
    EXPECT_TRUE(o.OptNonFiscal) << "trimmed \"1\" selects OptNonFiscal";
    EXPECT_TRUE(o.chbPagamentiEstesi);
    EXPECT_FALSE(o.OptionFAST);
    EXPECT_TRUE(o.chbMatricola);
    EXPECT_FALSE(o.chbDescrizione);
}

TEST_F(OptionFilesTest, UnreadableLinesLeaveTheirControlsAlone)
{
    writeOptions({"x", "yes", "", "1.2.3", "", "2", "", "", "", "", "", "", "", "f", "", "", "", ""});
    const Options o = load();
    expectSameOptions(o, Options{});
    EXPECT_TRUE(o.chkCodFisc) << "a \"2\" is no check box state";
    EXPECT_TRUE(o.OptionFAST);
}

TEST_F(OptionFilesTest, AnOverlongLineIsSkippedWhereverItStandsAndReported)
{
    // LF and lone CR line ends count as the list fields count them.
    dir.write("TVCHKSCO.TXT", "0\n1\r" + std::string(300, '1') + "\n192.168.0.5\r\n 4 \n0\n");
    Options o;
    const OptionFilesReport report = loadOptionFiles(dir.path(), o);
    EXPECT_TRUE(o.chbTrace);
    EXPECT_FALSE(o.chkDisableDisplay) << "the skipped line 3 leaves its control alone";
    EXPECT_EQ(o.txtRemoteIP, "192.168.0.5");
    EXPECT_EQ(o.cboToutConn, 4);
    EXPECT_FALSE(o.chkCodFisc);
    EXPECT_TRUE(report.unreadable.empty());
    EXPECT_EQ(report.problems, std::vector<std::string>{"TVCHKSCO.TXT: riga 3 ignorata (oltre 256 caratteri)"});
}

TEST_F(OptionFilesTest, TimeoutIndexOutsideTheListIsIgnored)
{
    for (const char* line : {"6", "99", "x", "1e2", "5.7"}) {
        writeOptions({"0", "0", "0", " ", line});
        EXPECT_EQ(load().cboToutConn, 1) << line;
    }
    writeOptions({"0", "0", "0", " ", "0"});
    EXPECT_EQ(load().cboToutConn, 0);
}

TEST_F(OptionFilesTest, GarbageLeavesTheDefaults)
{
    const std::string nasty[] = {
        std::string("\0\xFF\xFE\x01\r\n\0\0", 8),
        std::string(10000, ','),
        std::string(5000, '"'),
        "\"\"\"\r\n,\",\"\r\n\"",
        std::string(50u * 1024 * 1024, '1'),
    };
    for (const std::string& bytes : nasty) {
        for (const char* name : {"TVCHKCOM.TXT", "TVTIMER1.TXT", "TVCHKXXS.TXT", "TVCHKSCO.TXT"})
            dir.write(name, bytes);
        const Options o = load();
        EXPECT_EQ(o.channelEnabled, (std::array<bool, 4>{true, true, true, true}));
        EXPECT_EQ(o.timerIntervalMs, 1000);
        EXPECT_FALSE(o.chbConvXonXoff);
        EXPECT_EQ(o.txtRemoteIP, "");
        EXPECT_TRUE(o.chkCodFisc);
        EXPECT_EQ(o.cboToutConn, 1);
    }
}

TEST_F(OptionFilesTest, UnreadableFilesAndAMissingFolderAreHarmless)
{
    for (const char* name : {"TVCHKCOM.TXT", "TVTIMER1.TXT", "TVCHKXXS.TXT", "TVCHKSCO.TXT"})
        std::filesystem::create_directory(nativePath(dir.file(name)));
    expectSameOptions(load(), Options{});

    const std::string gone = dir.file("sparita");
    Options o;
    loadOptionFiles(gone, o);
    expectSameOptions(o, Options{});
    EXPECT_FALSE(saveOptionFiles(gone, o));
    EXPECT_FALSE(std::filesystem::exists(nativePath(gone)));
}

} // namespace
} // namespace tavor1
