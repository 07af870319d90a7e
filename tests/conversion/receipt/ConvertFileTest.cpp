#include "conversion/receipt/ConvertCommand.h"
#include "conversion/receipt/ReceiptConverter.h"

#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace tavor1 {
namespace {

std::string crlf(const std::vector<std::string>& lines)
{
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

class ConvertFile : public ::testing::Test {
protected:
    ConvertFile()
    {
        ctx.dataDir = dir.path();
        ctx.messages = &messages;
    }
    test::TempDir dir;
    test::RecordingMessages messages;
    ConversionContext ctx;
    ConversionResult result;
};

TEST_F(ConvertFile, WritesTheListToKbWithCrLf)
{
    const std::string request = dir.write("SR_DATI.001", "SALE,N1,P100\r\nCASH,V100\r\n");
    ASSERT_EQ(convertRequestFile(request, ctx, result), 0) << result.failureReason;
    EXPECT_EQ(dir.read("KB.txt"), crlf(result.commands));
    EXPECT_EQ(result.commands.size(), 7u);
}

TEST_F(ConvertFile, MissingRequestIsReportedThroughTheMessageSink)
{
    EXPECT_EQ(convertRequestFile(dir.file("SR_DATI.001"), ctx, result), 1);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Il file SR_DATI non esiste"});
    EXPECT_FALSE(dir.exists("KB.txt"));
}

// A list left by an earlier job must never go out for a request that fails:
// an empty one, a bad reference, an invoice with a rate outside the table.
TEST_F(ConvertFile, FailedRequestLeavesNoOldList)
{
    ctx.options.OptNonFiscal = false;
    for (const char* request : {"", "DELD,N00120034,D01022025\r\n", "OPFS,V100\r\nPLUD,N1,P100,I1700\r\nCLFS\r\n"}) {
        dir.write("KB.txt", "31011012200000000000000000000000000000001\r\n");
        result = {};
        EXPECT_EQ(convertRequestFile(dir.write("SR_DATI.001", request), ctx, result), 1) << request;
        EXPECT_FALSE(result.failureReason.empty()) << request;
        EXPECT_FALSE(dir.exists("KB.txt")) << request;
    }
}

TEST_F(ConvertFile, KeyStrokesArePreConverted)
{
    ctx.options.chbConvXonXoff = true;
    ASSERT_EQ(convertRequestFile(dir.write("SR_DATI.001", "3*150H1R\r\n1000H1T\r\n"), ctx, result), 0)
        << result.failureReason;
    ASSERT_GE(result.commands.size(), 4u);
    EXPECT_EQ(result.commands[1], "3002109 3 X 1,50");
    EXPECT_EQ(result.commands[3].substr(0, 7), "3101101");
    EXPECT_EQ(result.commands[3].substr(31), "000000450");
    EXPECT_TRUE(dir.exists("tempSL.txt"));
}

// Without a readable total on its "OPFS" line the invoice goes out with the
// total of its articles, never with the one cent the normaliser would make of
// "Vabc". Commas of its print lines stay text.
TEST_F(ConvertFile, InvoiceIsRewrittenIntoADocumentWithItsTotal)
{
    ctx.options.OptNonFiscal = false; // "Input Fiscale"
    int pauses = 0;
    ctx.pause = [&](int ms) { pauses += ms == 200 ? 1 : 0; };
    const std::string request =
        dir.write("SR_DATI.001", "OPFS,Vabc,N7,:ROSSI SRL\r\nPLUD,N1,P1220,I2200,:LIBRO\r\n"
                                 "PLUD,N2,P500,I0,:SERVIZIO\r\nPRNT,:Via Roma,Scala B,Rif. 2\r\nPRNT,:Nota cliente\r\n"
                                 "CASH\r\nCLFS\r\n");
    ASSERT_EQ(convertRequestFile(request, ctx, result), 0) << result.failureReason;
    EXPECT_TRUE(dir.exists("SR_DATI.001.txt"));
    EXPECT_TRUE(result.invoiceTextMode);
    EXPECT_EQ(result.invoiceTotal, "000001720");
    ASSERT_GE(result.commands.size(), 4u);
    EXPECT_EQ(result.commands[1], "400121000001720");
    EXPECT_EQ(result.commands[result.commands.size() - 2], "4003F19TOTALE FATTURE EURO000001720");
    EXPECT_EQ(result.commands.back(), "4006");
    for (std::size_t i = 2; i + 2 < result.commands.size(); ++i)
        EXPECT_EQ(result.commands[i].substr(0, 4), "4003") << result.commands[i];
    // Upper-cased and cut as every line of the invoice; its commas stay.
    for (const char* text : {"4003123VIA ROMA,SCALA B,RIF. 2", "4003112NOTA CLIENTE"})
        EXPECT_NE(std::find(result.commands.begin(), result.commands.end(), text), result.commands.end())
            << text << " in:\n"
            << test::joined(result.commands);
    EXPECT_EQ(pauses, 1);
}

int runConvert(std::vector<std::string> args, std::string& out, std::string& err)
{
    args.insert(args.begin(), {"tavor1", "convert"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    std::ostringstream o, e;
    const int code = runConvertCommand(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return code;
}

TEST(ConvertCommand, PrintsTheListAndWritesKb)
{
    test::TempDir dir;
    const std::string request = dir.write("SR_DATI.002", "NDCR,N00120034,>99MEY012345,D01022025\r\n");
    std::string out, err;
    ASSERT_EQ(runConvert({request, "--rt", "--serial", "99MEY012345", "--channel", "2", "--config-dir", dir.path()}, out, err), 0)
        << err;
    EXPECT_EQ(out, "7007" + std::string(40, ' ') + "\n7101R00120034010220250\n7101R00120034010220258" "1199MEY012345\n");
    EXPECT_TRUE(dir.exists("KB.txt"));
    EXPECT_FALSE(dir.exists("TVTIMER1.TXT"));
}

TEST(ConvertCommand, ExitCodes)
{
    test::TempDir dir;
    std::string out, err;
    EXPECT_EQ(runConvert({dir.file("SR_DATI.001"), "--config-dir", dir.path()}, out, err), 1);
    EXPECT_EQ(err, "tavor1 convert: Il file SR_DATI non esiste\n");
    EXPECT_TRUE(out.empty());

    EXPECT_EQ(runConvert({dir.write("SR_DATI.001", "DELD,N1,D1\r\n"), "--config-dir", dir.path()}, out, err), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    EXPECT_EQ(runConvert({}, out, err), 2);
    EXPECT_EQ(runConvert({"a", "b"}, out, err), 2);
    EXPECT_EQ(runConvert({"a", "--channel", "5"}, out, err), 2);
    EXPECT_EQ(runConvert({"--help"}, out, err), 0);
    EXPECT_NE(out.find("--data-dir"), std::string::npos);
}

} // namespace
} // namespace tavor1
