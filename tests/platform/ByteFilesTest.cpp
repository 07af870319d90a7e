#include "platform/ByteFiles.h"
#include "platform/Cp1252.h"
#include "platform/NativePath.h"
#include "support/HeldFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace tavor1 {
namespace {

using test::TempDir;

std::set<std::string> entries(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(nativePath(dir)))
        names.insert(utf8Path(e.path().filename()));
    return names;
}

// The driver names its files the traditional way, DataDir & "\SR_START.001";
// the data directory may be a POSIX folder, a drive-letter path or a share.
struct JoinCase {
    const char* name;
    const char* dir;
    const char* file;
    const char* windows; // with Windows' separator
    const char* posix;
};

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
        // "D:\" from the registry loses its backslash; the join puts it back,
        // so the file lies in the drive's root, not in D:'s current folder.
        JoinCase{"DriveRoot", "D:", "\\SR_START.001", "D:\\SR_START.001", "D:/SR_START.001"},
        JoinCase{"Share", "\\\\server\\share\\dati", "\\SR_START.001", "\\\\server\\share\\dati\\SR_START.001",
                 "\\\\server\\share\\dati/SR_START.001"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteFiles, RoundTripsBytesAndRemovesOnlyFiles)
{
    TempDir dir;
    const std::string sub = joinPath(dir.path(), "Cartella");
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
    EXPECT_EQ(readFileBytes(path, 200000).value_or("").size(), 200000u);
}

TEST(ByteFiles, AReplaceLeavesTheWholeNewContentOrTheOldOneAndSaysWhy)
{
    TempDir dir;
    const std::string path = dir.write("FINESCO.001", "old");
    std::error_code ec;
    ASSERT_TRUE(replaceFileBytes(path, "", ec)) << ec.message();
    EXPECT_EQ(readFileBytes(path), "");
    ASSERT_TRUE(replaceFileBytes(path, "finesco", ec)) << ec.message();
    EXPECT_EQ(readFileBytes(path), "finesco");
    EXPECT_TRUE(directoryWritable(dir.path(), ec)) << ec.message();
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"FINESCO.001"})
        << "neither the temporary file nor the writability probe stays";
    // A result whose name is taken by a folder: the replace fails and its temporary file goes.
    const std::string blocked = joinPath(dir.path(), "SR_OUT.001");
    ASSERT_TRUE(makeDirectory(blocked));
    EXPECT_FALSE(replaceFileBytes(blocked, "x", ec));
    EXPECT_TRUE(ec);
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"FINESCO.001", "SR_OUT.001"}));

    // A data directory that has vanished: every call fails, none throws.
    const std::string gone = joinPath(dir.path(), "sparita/FINESCO.001");
    EXPECT_FALSE(replaceFileBytes(gone, "finesco", ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory) << ec.message();
    EXPECT_FALSE(directoryWritable(joinPath(dir.path(), "sparita"), ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(writeFileBytes(gone, "x"));
    EXPECT_FALSE(appendFileBytes(gone, "x"));
    EXPECT_EQ(readFileBytes(gone), std::nullopt);
    EXPECT_FALSE(removeFile(gone));
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

// Shops name folders and files with the letters of their code page (è, à,
// ñ, €, the Scandinavian and German ones): the names on disk must be those
// letters, not their UTF-8 bytes read one by one.
TEST(ByteFiles, FolderAndFileNamesKeepTheirWindows1252Letters)
{
    TempDir dir;
    const std::string folder = joinPath(dir.path(), "Cassa perché già € ÀÉÎÕÜ ñøß");
    ASSERT_TRUE(makeDirectory(folder));
    const std::string file = joinPath(folder, "Ricevuta n° 1 – caffè.txt");
    ASSERT_TRUE(writeFileBytes(file, "x"));
    ASSERT_TRUE(replaceFileBytes(file, "y"));

    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"Cassa perché già € ÀÉÎÕÜ ñøß"});
    EXPECT_EQ(entries(folder), std::set<std::string>{"Ricevuta n° 1 – caffè.txt"});
#ifdef _WIN32
    // The same names as Windows itself spells them.
    EXPECT_NE(GetFileAttributesW((nativePath(dir.path()) /
                                  L"Cassa perch\u00e9 gi\u00e0 \u20ac \u00c0\u00c9\u00ce\u00d5\u00dc "
                                  L"\u00f1\u00f8\u00df" /
                                  L"Ricevuta n\u00b0 1 \u2013 caff\u00e8.txt")
                                     .c_str()),
              INVALID_FILE_ATTRIBUTES);
#endif
    EXPECT_EQ(readFileBytes(file), "y");
    EXPECT_TRUE(removeFile(file));
}

// A name in Windows-1252 bytes (no UTF-8) is no reason to fail, let alone
// to throw: on Windows it is the ANSI code page's, on POSIX it is bytes.
TEST(ByteFiles, ANameThatIsNoUtf8IsStillAName)
{
    TempDir dir;
    const std::string cp1252 = joinPath(dir.path(), "Cassa gi\xE0.txt");
    ASSERT_TRUE(writeFileBytes(cp1252, "x"));
    EXPECT_EQ(readFileBytes(cp1252), "x");
#ifdef _WIN32
    EXPECT_TRUE(fileExists(joinPath(dir.path(), "Cassa già.txt"))) << "read in the ANSI code page (1252)";
#endif
    EXPECT_TRUE(removeFile(cp1252));
}

#ifdef _WIN32

// A scanner or a host that still has the file open lets it be read but not
// deleted or replaced.
TEST(HeldFiles, ADeleteOrAReplaceFailsSaysWhyAndLosesNothing)
{
    TempDir dir;
    const std::string path = dir.write("SR_ERR.001", "E501: vecchio\r\n");
    test::HeldFile host(path);
    ASSERT_TRUE(host.isHeld());

    std::error_code error;
    EXPECT_FALSE(removeFile(path, error));
    EXPECT_TRUE(error == std::errc::permission_denied) << error.message() << " (" << error.value() << ")";
    EXPECT_FALSE(replaceFileBytes(path, "E502: nuovo\r\n"));
    EXPECT_EQ(readFileBytes(path), "E501: vecchio\r\n");
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"SR_ERR.001"}) << "the temporary file must go";

    host.release();
    EXPECT_TRUE(replaceFileBytes(path, "E502: nuovo\r\n"));
    EXPECT_EQ(readFileBytes(path), "E502: nuovo\r\n");
    EXPECT_TRUE(removeFile(path));
}

#endif

} // namespace
} // namespace tavor1
