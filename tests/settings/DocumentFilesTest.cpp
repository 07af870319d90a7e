#include "settings/DocumentFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavor1 {
namespace {

using test::TempDir;

// Number, source and description of the error a call raises, as one text.
std::string raised(const std::function<void()>& call)
{
    try {
        call();
    } catch (const DocumentError& e) {
        return std::to_string(e.number()) + " | " + e.source() + " | " + e.description();
    }
    return "no error raised";
}

TEST(ReadDocument, AMissingFileRaisesMinusOneNamingThePath)
{
    TempDir dir("tavor1 documenti è ");
    const std::string path = dir.file("SR_DATI.001");
    EXPECT_EQ(raised([&] { readDocument(path); }), "-1 | Tools.ReadDocument | FileInput: " + path + " Not Exists!");
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
    writeDocument(path, {}, false);
    EXPECT_EQ(dir.read("KB.txt"), "") << "an empty list leaves an empty file";
}

TEST(WriteDocument, FailuresCarryNumberSourceAndDescription)
{
    TempDir dir;
    EXPECT_EQ(raised([&] { writeDocument(dir.file("assente/KB.txt"), {"x"}, false); }),
              "76 | Tavor1 in Tools.WriteDocument:0 | Path not found");
    EXPECT_EQ(raised([&] { writeDocument(dir.path(), {"x"}, true); }),
              "75 | Tavor1 in Tools.WriteDocument:0 | Path/File access error");
}

} // namespace
} // namespace tavor1
