#include "platform/ByteFiles.h"
#include "platform/Cp1252.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tavor1 {
namespace {

using test::TempDir;

// The driver names its files the traditional way, DataDir & "\SR_START.001";
// the data directory may be a POSIX folder, a drive-letter path or a share.
struct JoinCase {
    const char* name;
    const char* dir;
    const char* file;
    const char* windows; // with Windows' separator
    const char* posix;
};

void PrintTo(const JoinCase& c, std::ostream* os)
{
    *os << c.name;
}

class JoinPathTest : public testing::TestWithParam<JoinCase> { };

TEST_P(JoinPathTest, GivesThePlatformsPath)
{
#ifdef _WIN32
    const char* expected = GetParam().windows;
#else
    const char* expected = GetParam().posix;
#endif
    EXPECT_EQ(joinPath(GetParam().dir, GetParam().file), expected);
}

INSTANTIATE_TEST_SUITE_P(
    DataDirectories, JoinPathTest,
    testing::Values(
        JoinCase{"LeadingBackslash", "/dati", "\\SR_START.001", "/dati\\SR_START.001", "/dati/SR_START.001"},
        JoinCase{"BareName", "/dati", "SR_START.001", "/dati\\SR_START.001", "/dati/SR_START.001"},
        JoinCase{"NestedName", "/dati/", "\\TRACE_202401\\TRACE_20240105_143012.TXT",
                 "/dati\\TRACE_202401\\TRACE_20240105_143012.TXT", "/dati/TRACE_202401/TRACE_20240105_143012.TXT"},
        // A registry path may end in a backslash.
        JoinCase{"TrailingBackslash", "/dati\\", "LOGFILE.TXT", "/dati\\LOGFILE.TXT", "/dati/LOGFILE.TXT"},
        JoinCase{"Root", "/", "x", "\\x", "/x"},
        JoinCase{"DriveLetter", "C:\\ProgramData\\Tavor1", "\\SR_START.001", "C:\\ProgramData\\Tavor1\\SR_START.001",
                 "C:\\ProgramData\\Tavor1/SR_START.001"},
        // "D:\" from the registry loses its backslash; the join puts it back,
        // so the file lies in the drive's root, not in D:'s current folder.
        JoinCase{"DriveRoot", "D:", "\\SR_START.001", "D:\\SR_START.001", "D:/SR_START.001"},
        JoinCase{"Share", "\\\\server\\share\\dati", "\\SR_START.001", "\\\\server\\share\\dati\\SR_START.001",
                 "\\\\server\\share\\dati/SR_START.001"},
        JoinCase{"ShareWithTrailingBackslash", "\\\\server\\share\\dati\\", "SR_MATR.004",
                 "\\\\server\\share\\dati\\SR_MATR.004", "\\\\server\\share\\dati/SR_MATR.004"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteFiles, RoundTripsBytesUnderAPathWithBlanksAndAccents)
{
    TempDir dir("tavor1 dati perché ");
    const std::string sub = joinPath(dir.path(), "Cartella è già");
    ASSERT_TRUE(makeDirectory(sub));
    const std::string path = joinPath(sub, "\\SR_DATI.001");
    const std::string bytes = std::string("PRNT,T\"caff\xE8\"\r\n\0\xFF", 17);

    ASSERT_TRUE(writeFileBytes(path, bytes));
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(readFileBytes(path), bytes);
    ASSERT_TRUE(appendFileBytes(path, "X"));
    EXPECT_EQ(readFileBytes(path), bytes + "X");
    ASSERT_TRUE(writeFileBytes(path, ""));
    EXPECT_EQ(readFileBytes(path), "");

    EXPECT_TRUE(removeFile(path));
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(removeFile(path)) << "a second delete reports nothing removed";
    EXPECT_FALSE(removeFile(sub));
    EXPECT_TRUE(isDirectory(sub)) << "removeFile must never delete a directory";
}

TEST(ByteFiles, RefusesFilesOverTheReadLimit)
{
    TempDir dir;
    const std::string path = dir.write("big", std::string(200000, 'x'));
    EXPECT_EQ(readFileBytes(path, 199999), std::nullopt);
    ASSERT_TRUE(readFileBytes(path, 200000).has_value());
    EXPECT_EQ(readFileBytes(path, 200000)->size(), 200000u);
}

TEST(ByteFiles, AVanishedDirectoryFailsQuietly)
{
    std::string gone;
    {
        TempDir dir;
        gone = dir.path();
    }
    const std::string path = joinPath(gone, "SR_ERR.001");
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(removeFile(path));
    EXPECT_FALSE(writeFileBytes(path, "x"));
    EXPECT_FALSE(appendFileBytes(path, "x"));
    EXPECT_EQ(readFileBytes(path), std::nullopt);
}

TEST(Cp1252, ConvertsTheWholeCodePageAndBack)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);
    EXPECT_EQ(cp1252ToUtf8("\x80 caff\xE8"), "\u20AC caff\u00E8");
    EXPECT_EQ(utf8ToCp1252("\u20AC \u0161 \u4E2D"), "\x80 \x9A ?");
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?") << "a cut sequence must not read past the end";
}

TEST(ByteFiles, AReplaceLeavesTheWholeNewContentOrTheOldOneAndSaysWhy)
{
    TempDir dir;
    const std::string path = dir.write("FINESCO.001", "old");
    std::error_code ec;
    ASSERT_TRUE(replaceFileBytes(path, "finesco", ec)) << ec.message();
    EXPECT_EQ(readFileBytes(path), "finesco");
    EXPECT_FALSE(fileExists(path + ".tmp")) << "the temporary file must not stay beside the result";

    const std::string gone = joinPath(dir.path(), "sparita/FINESCO.001");
    EXPECT_FALSE(replaceFileBytes(gone, "finesco", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory) << ec.message();
    EXPECT_FALSE(directoryWritable(joinPath(dir.path(), "sparita"), ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(directoryWritable(dir.path(), ec)) << ec.message();
    EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "FINESCO.001")
        << "the writability probe is removed again";
}

} // namespace
} // namespace tavor1
