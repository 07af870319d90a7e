#include "settings/DocumentFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

using test::TempDir;

TEST(ReadDocument, AMissingFileRaisesMinusOneNamingThePath)
{
    TempDir dir("tavor1 documenti è ");
    const std::string path = dir.file("SR_DATI.001");
    try {
        readDocument(path);
        FAIL() << "no error raised";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.source(), "Tools.ReadDocument");
        EXPECT_EQ(e.description(), "FileInput: " + path + " Not Exists!");
    }
    EXPECT_THROW(readDocument(dir.path()), DocumentError) << "a directory is no document";
}

TEST(ReadDocument, SplitsLinesWithoutTheirEnds)
{
    TempDir dir;
    using D = Document;
    EXPECT_EQ(readDocument(dir.write("a", "")), D{});
    EXPECT_EQ(readDocument(dir.write("b", "SALE\r\nCASH\r\n")), (D{"SALE", "CASH"}));
    EXPECT_EQ(readDocument(dir.write("c", "SALE\r\n\r\nCASH")), (D{"SALE", "", "CASH"}));
    EXPECT_EQ(readDocument(dir.write("d", "unix\nmac\rend")), (D{"unix", "mac", "end"}));
    EXPECT_EQ(readDocument(dir.write("e", std::string("caff\xE8\0x\r\n", 9))), (D{std::string("caff\xE8\0x", 7)}));
}

TEST(WriteDocument, WritesCrLfLinesReplacingOrAppending)
{
    TempDir dir;
    const std::string path = dir.file("KB.txt");
    writeDocument(path, {"3011", "caff\xE8"}, false);
    EXPECT_EQ(dir.read("KB.txt"), "3011\r\ncaff\xE8\r\n");
    writeDocument(path, {"1109"}, true);
    EXPECT_EQ(dir.read("KB.txt"), "3011\r\ncaff\xE8\r\n1109\r\n");
    EXPECT_EQ(readDocument(path), (Document{"3011", "caff\xE8", "1109"}));
    writeDocument(path, {}, false);
    EXPECT_EQ(dir.read("KB.txt"), "") << "an empty list leaves an empty file";
}

TEST(WriteDocument, FailuresCarryNumberSourceAndDescription)
{
    TempDir dir;
    try {
        writeDocument(dir.file("assente/KB.txt"), {"x"}, false);
        FAIL() << "no error raised";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.number(), 76);
        EXPECT_EQ(e.source(), "Tavor1 in Tools.WriteDocument:0");
        EXPECT_EQ(e.description(), "Path not found");
    }
    try {
        writeDocument(dir.path(), {"x"}, true);
        FAIL() << "no error raised";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.number(), 75);
        EXPECT_EQ(e.description(), "Path/File access error");
    }
}

} // namespace
} // namespace tavor1
