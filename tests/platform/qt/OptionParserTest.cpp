#include "platform/qt/OptionParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavor1 {
namespace {

OptionParser sampleParser()
{
    OptionParser parser("sample");
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addFlag({"headless"}, {"no window"});
    parser.addOption({"data-dir"}, "DIR", {"the data directory"});
    parser.addOption({"n"}, "N", {"how many"});
    parser.addOption({"fail"}, "CMD:CODE", {"a fault; may be repeated"});
    return parser;
}

// What one command line gives: the occurrences as name=value in order, the
// words, or the problem in words.
std::string readBack(const std::vector<std::string>& args)
{
    OptionParser parser = sampleParser();
    if (!parser.parse(args))
        return "error: " + parser.message();
    std::string text;
    for (const OptionParser::Occurrence& o : parser.occurrences())
        text += o.name + (o.value.empty() ? "" : "=" + o.value) + " ";
    for (const std::string& word : parser.words())
        text += "[" + word + "] ";
    return text;
}

struct ParseRow {
    const char* name;
    std::vector<std::string> args;
    const char* expected;
};

class OptionParserRows : public ::testing::TestWithParam<ParseRow> { };

TEST_P(OptionParserRows, ReadsTheCommandLine)
{
    EXPECT_EQ(readBack(GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, OptionParserRows,
    ::testing::Values(
        ParseRow{"nothing", {}, ""},
        ParseRow{"flagsAndValues", {"--headless", "--data-dir", "/d", "-n", "5"}, "headless data-dir=/d n=5 "},
        ParseRow{"shortAliasByItsFirstName", {"-h"}, "help "},
        ParseRow{"valueWithEquals", {"--data-dir=/d e"}, "data-dir=/d e "},
        ParseRow{"emptyValueIsAValue", {"--data-dir="}, "data-dir "},
        // Faults act in the order given, so repeats keep their places among
        // the other options.
        ParseRow{"repeatsInOrder",
                 {"--fail", "3011:23", "--headless", "--fail", "*:31"},
                 "fail=3011:23 headless fail=*:31 "},
        ParseRow{"wordsBetweenOptions", {"convert", "--headless", "req.txt"}, "headless [convert] [req.txt] "},
        ParseRow{"valueThatLooksLikeAnOption", {"--data-dir", "--headless"}, "data-dir=--headless "},
        // A Windows-1252 folder name and a UTF-8 one: neither is re-encoded.
        ParseRow{"bytesKept", {"--data-dir", "/citt\xe0", "/citt\xc3\xa0"}, "data-dir=/citt\xe0 [/citt\xc3\xa0] "},
        ParseRow{"afterDoubleDashAllAreWords", {"--", "--headless"}, "[--headless] "},
        ParseRow{"unknownLongOption", {"--headless", "--frobnicate"}, "error: unknown option \"--frobnicate\""},
        ParseRow{"unknownSingleDashWord", {"-frobnicate"}, "error: unknown option \"-frobnicate\""},
        ParseRow{"unknownWithValue", {"--colour=red"}, "error: unknown option \"--colour\""},
        ParseRow{"missingValue", {"--headless", "--data-dir"}, "error: --data-dir needs a value"},
        ParseRow{"missingShortValue", {"-n"}, "error: -n needs a value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OptionParser, AParserIsReusedAsNew)
{
    OptionParser parser = sampleParser();
    EXPECT_FALSE(parser.parse({"--frobnicate"}));
    EXPECT_EQ(parser.problem(), OptionParser::Problem::UnknownOption);
    EXPECT_TRUE(parser.parse({"--headless"}));
    EXPECT_EQ(parser.problem(), OptionParser::Problem::None);
    EXPECT_EQ(parser.occurrences().size(), 1u);
}

TEST(OptionParser, HelpListsEveryOptionInOrder)
{
    OptionParser parser("sample");
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addOption({"approval-reuse-minutes"}, "N", {"first line", "second line"});
    parser.addOption({"port"}, "N", {"the port", "(default 0)"});
    EXPECT_EQ(parser.optionsHelp(14), "  -h, --help  prints this text\n"
                                      "  --approval-reuse-minutes N\n"
                                      "              first line\n"
                                      "              second line\n"
                                      "  --port N    the port\n"
                                      "              (default 0)\n");
}

} // namespace
} // namespace tavor1
