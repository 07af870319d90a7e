#include "platform/ByteFiles.h"
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

TEST(ReplaceFile, ReplacesAnExistingFileAndLeavesNoTemporary)
{
    {
        const auto replace = [](const std::string& p, std::string_view b) { return replaceFileBytes(p, b); };
        TempDir dir("tavor1 opzioni è ");
        const std::string path = dir.write("TVCHKCOM.TXT", "1111\r\n");
        ASSERT_TRUE(replace(path, "0101\r\n"));
        EXPECT_EQ(readFileBytes(path), "0101\r\n");
        ASSERT_TRUE(replace(path, ""));
        EXPECT_EQ(readFileBytes(path), "");
        EXPECT_EQ(entries(dir.path()), std::set<std::string>{"TVCHKCOM.TXT"});
    }
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
    EXPECT_TRUE(fileExists(cp1252));
    EXPECT_EQ(readFileBytes(cp1252), "x");
#ifdef _WIN32
    EXPECT_TRUE(fileExists(joinPath(dir.path(), "Cassa già.txt"))) << "read in the ANSI code page (1252)";
#endif
    EXPECT_TRUE(removeFile(cp1252));
}

#ifdef _WIN32

TEST(HeldFiles, ADeleteFailsAndSaysWhy)
{
    TempDir dir;
    const std::string path = dir.write("SR_START.001", "");
    test::HeldFile scanner(path);
    ASSERT_TRUE(scanner.isHeld());

    std::error_code error;
    EXPECT_FALSE(removeFile(path, error));
    EXPECT_TRUE(error == std::errc::permission_denied) << error.message() << " (" << error.value() << ")";
    EXPECT_TRUE(fileExists(path));

    scanner.release();
    EXPECT_TRUE(removeFile(path));
}

TEST(HeldFiles, AReplaceFailsWithoutLosingEitherContent)
{
    {
        const auto replace = [](const std::string& p, std::string_view b) { return replaceFileBytes(p, b); };
        TempDir dir;
        const std::string path = dir.write("SR_ERR.001", "E501: vecchio\r\n");
        test::HeldFile host(path);
        ASSERT_TRUE(host.isHeld());

        EXPECT_FALSE(replace(path, "E502: nuovo\r\n"));
        EXPECT_EQ(readFileBytes(path), "E501: vecchio\r\n");
        EXPECT_EQ(entries(dir.path()), std::set<std::string>{"SR_ERR.001"}) << "the temporary file must go";

        host.release();
        EXPECT_TRUE(replace(path, "E502: nuovo\r\n"));
        EXPECT_EQ(readFileBytes(path), "E502: nuovo\r\n");
    }
}

#endif

} // namespace
} // namespace tavor1
