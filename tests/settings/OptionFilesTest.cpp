#include "settings/OptionFiles.h"
#include "settings/IpAddress.h"
#include "settings/ListFields.h"
#include "settings/OptionTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavor1 {
namespace {

using test::TempDir;

// Every option by its control's name, and the interval the timer box gives.
void expectSameOptions(const Options& loaded, const Options& expected)
{
    for (const OptionRow& row : optionRows())
        EXPECT_EQ(row.get(loaded), row.get(expected)) << row.name;
    EXPECT_EQ(loaded.timerIntervalMs, expected.timerIntervalMs);
}

TEST(IpAddress, IsFourNumbersFrom0To255AndNothingElse)
{
    for (const char* good : {"192.168.1.10", "0.0.0.255"})
        EXPECT_TRUE(validateIpAddress(good)) << good;
    for (const char* bad : {"", "192.168.1", "192.168.1.256", "192..1.10", "1.2.3.4.5", "-1.2.3.4", " 1.2.3.4",
                            "1.2.3.4a", "1.2.3.4.", "99999999999999999999.1.1.1"})
        EXPECT_FALSE(validateIpAddress(bad)) << '"' << bad << '"';
}

TEST(ListFields, EndAtCommasAndLineEndsAndLoseTheirQuotes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(readListFields("1\r\n0\r\n"), (V{"1", "0"}));
    EXPECT_EQ(readListFields("a,b\r\n c \nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(readListFields("\"x, y \",z\r\n"), (V{"x, y ", "z"}));
    EXPECT_EQ(readListFields("\"x\"tail,z"), (V{"x", "z"})) << "what follows the closing quote is dropped";
    EXPECT_EQ(readListFields("\"open\r\nnext"), (V{"open", "next"})) << "an unclosed quote ends at the line";
    EXPECT_EQ(readListFields("1\r\n\r\n2"), (V{"1", "", "2"}));
    EXPECT_EQ(readListFields(""), V{});
    EXPECT_EQ(readListFields(",,,"), (V{"", "", ""}));
}

// TVCHKSCO.TXT with the given lines, CR LF after each.
std::string lines(std::initializer_list<const char*> values)
{
    std::string bytes;
    for (const char* v : values)
        bytes.append(v).append("\r\n");
    return bytes;
}

using Change = std::function<void(Options&)>;

void nothing(Options&) { }

Change timer(const char* box, int intervalMs)
{
    return [=](Options& o) {
        o.txtTimerVal = box;
        o.timerIntervalMs = intervalMs;
    };
}

Change timeout(int index)
{
    return [=](Options& o) { o.cboToutConn = index; };
}

// One option file as a shop may have it, and what the options load as: the
// defaults with `loadsAs` applied.
struct StoredCase {
    const char* name;
    const char* file; // nullptr: no option file at all
    std::string bytes;
    Change loadsAs;
    const char* problem = nullptr; // the log text loading reports, if any
};

class OptionFileLoad : public ::testing::TestWithParam<StoredCase> { };

TEST_P(OptionFileLoad, TakesWhatTheFileClearlySaysAndRewritesTheTimerFile)
{
    const StoredCase& c = GetParam();
    TempDir dir("tavor1 programma è ");
    if (c.file)
        dir.write(c.file, c.bytes);
    Options loaded;
    const OptionFilesReport report = loadOptionFiles(dir.path(), loaded);
    Options expected;
    c.loadsAs(expected);
    expectSameOptions(loaded, expected);
    EXPECT_EQ(report.problems, c.problem ? std::vector<std::string>{c.problem} : std::vector<std::string>{});
    EXPECT_EQ(dir.read("TVTIMER1.TXT"), expected.txtTimerVal + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Files, OptionFileLoad,
    ::testing::Values(
        StoredCase{"NoFiles", nullptr, "", nothing},
        StoredCase{"Channels", "TVCHKCOM.TXT", "0101",
                   [](Options& o) {
                       o.channelEnabled = {false, true, false, true};
                   }},
        StoredCase{"ChannelsTooShort", "TVCHKCOM.TXT", "01\r\n", nothing},
        StoredCase{"ChannelsEmpty", "TVCHKCOM.TXT", "", nothing},
        StoredCase{"ChannelsBinaryJunk", "TVCHKCOM.TXT", std::string("\0\xFF\xFE\x01\r\n\0\0", 8), nothing},
        StoredCase{"TimerSeconds", "TVTIMER1.TXT", "5\r\n", timer("5", 5000)},
        StoredCase{"TimerSecondsCapped", "TVTIMER1.TXT", "75\r\n", timer("60", 60000)},
        StoredCase{"TimerMilliseconds", "TVTIMER1.TXT", "250\r\n", timer("250", 250)},
        StoredCase{"TimerMillisecondsCapped", "TVTIMER1.TXT", "70000\r\n", timer("60000", 60000)},
        StoredCase{"TimerHundredIsMilliseconds", "TVTIMER1.TXT", "100", timer("100", 100)},
        StoredCase{"TimerFraction", "TVTIMER1.TXT", "1.5", timer("1.5", 1500)},
        StoredCase{"TimerZero", "TVTIMER1.TXT", "0\r\n", nothing},
        StoredCase{"TimerNegative", "TVTIMER1.TXT", "-5\r\n", nothing},
        StoredCase{"TimerTrailingLetters", "TVTIMER1.TXT", "250abc\r\n", nothing},
        StoredCase{"TimerEmpty", "TVTIMER1.TXT", "", nothing},
        // Line 1 of TVCHKSCO.TXT repeats TVCHKXXS.TXT and is not read.
        StoredCase{"ShortOptionsFileKeepsTheRest", "TVCHKSCO.TXT", lines({"1", "1", "1", "192.168.0.5", " 3 "}),
                   [](Options& o) {
                       o.chbTrace = o.chkDisableDisplay = true;
                       o.txtRemoteIP = "192.168.0.5";
                       o.cboToutConn = 3;
                   }},
        // Some lines tick only on an exact "1", others on a "1" with blanks (in quotes).
        StoredCase{"ValuesReadAsTheirControlsRead", "TVCHKSCO.TXT",
                   lines({"1", "\" 1 \"", "1", " ", "-3", "\" 1 \"", "\" 1 \"", "\" 1 \"", "0", "0", "0", "0", "0", "S",
                          "1", "1", "1"}),
                   [](Options& o) {
                       o.chkDisableDisplay = o.chbPagamentiEstesi = true;
                       o.cboToutConn = 2; // a negative index selects the third entry
                       o.chkCodFisc = o.OptionFAST = false;
                       o.CheckLogPagamento = o.CheckStampaLogo = o.chbMatricola = true;
                   }},
        StoredCase{"UnreadableLinesLeaveTheirControlsAlone", "TVCHKSCO.TXT",
                   lines({"x", "yes", "", "1.2.3", "", "2", "", "", "", "", "", "", "", "f", "", "", "", ""}), nothing},
        // LF and lone CR line ends count as the list fields count them.
        StoredCase{
            "OverlongLineSkipped", "TVCHKSCO.TXT", "0\n1\r" + std::string(300, '1') + "\n192.168.0.5\r\n 4 \n0\n",
            [](Options& o) {
                o.chbTrace = true;
                o.txtRemoteIP = "192.168.0.5";
                o.cboToutConn = 4;
                o.chkCodFisc = false;
            },
            "TVCHKSCO.TXT: riga 3 ignorata (oltre 256 caratteri)"},
        StoredCase{"TimeoutFirstEntry", "TVCHKSCO.TXT", lines({"0", "0", "0", " ", "0"}), timeout(0)},
        StoredCase{"TimeoutPastTheList", "TVCHKSCO.TXT", lines({"0", "0", "0", " ", "6"}), nothing},
        StoredCase{"TimeoutRoundedPastTheList", "TVCHKSCO.TXT", lines({"0", "0", "0", " ", "5.7"}), nothing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OptionFiles, SavedOptionsComeBackAsTheyWereInTheFilesOwnLayout)
{
    TempDir dir;
    Options saved;
    saved.channelEnabled = {false, true, false, true};
    applyTimerValue("250", saved);
    saved.txtRemoteIP = "10.0.0.77";
    saved.cboToutConn = 5;
    for (bool* flag : {&saved.chbConvXonXoff, &saved.chbTrace, &saved.chkDisableDisplay, &saved.chkCodFisc,
                       &saved.OptNonFiscal, &saved.chbPagamentiEstesi, &saved.chbInversioneScontiSuReso,
                       &saved.chbAbilRistampaDaErroreSocket, &saved.chbNoInviaApCassetto, &saved.chbDisabTotalizzatori,
                       &saved.chkForzaIntestazioneFattura, &saved.OptionFAST, &saved.CheckLogPagamento,
                       &saved.CheckStampaLogo, &saved.chbMatricola, &saved.chbDescrizione})
        *flag = !*flag;

    for (const Options& options : {saved, Options{}}) {
        ASSERT_TRUE(saveOptionFiles(dir.path(), options));
        ASSERT_TRUE(saveTimerFile(dir.path(), options));
        Options loaded;
        loadOptionFiles(dir.path(), loaded);
        expectSameOptions(loaded, options);
    }
    EXPECT_EQ(dir.read("TVCHKCOM.TXT"), "1111\r\n");
    EXPECT_EQ(dir.read("TVCHKXXS.TXT"), "0\r\n");
    EXPECT_EQ(dir.read("TVCHKSCO.TXT"),
              "0\r\n0\r\n0\r\n \r\n 1 \r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nF\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST(OptionFiles, AFileTooLargeToBeOursIsReportedAndNeverWrittenOver)
{
    TempDir dir;
    const std::string big(2u * 1024 * 1024, '1');
    dir.write("TVTIMER1.TXT", big);
    Options loaded;
    const OptionFilesReport report = loadOptionFiles(dir.path(), loaded);
    expectSameOptions(loaded, Options{});
    EXPECT_EQ(report.unreadable, std::vector<std::string>{"TVTIMER1.TXT"});
    EXPECT_EQ(dir.read("TVTIMER1.TXT"), big);
}

TEST(OptionFiles, SavingIntoAMissingFolderFailsAndMakesNoFolder)
{
    TempDir dir;
    EXPECT_FALSE(saveOptionFiles(dir.file("sparita"), Options{}));
    EXPECT_FALSE(dir.exists("sparita"));
}

} // namespace
} // namespace tavor1
