#include "conversion/language/RequestLanguage.h"
#include "conversion/invoice/InvoiceConversion.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tavor1 {
namespace {

using test::joined;

// A justified courtesy line of width 32: label and amount fill 30 characters.
std::string J(const std::string& label, const std::string& amount, const std::string& suffix = "")
{
    return "PRNT,:" + label + std::string(30 - label.size() - amount.size(), ' ') + amount + " " + suffix + ";";
}

const std::string kBlank = "PRNT,:" + std::string(32, ' ') + ";";
const std::string kEuro = "PRNT,:" + std::string(26, ' ') + "EURO;";

class InvoiceTest : public testing::Test {
protected:
    std::vector<std::string> rewrite(const std::vector<std::string>& source, InvoiceLayout layout = {})
    {
        std::ostringstream out;
        ok = rewriteInvoiceLines(source, layout, env, handover, out);
        const std::string text = out.str();
        EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
        return splitRequestLines(text);
    }

    VatRateTable rates;
    FixedClock clock{LocalDateTime{2026, 12, 5, 9, 7, 0}};
    test::RecordingTrace trace;
    InvoiceEnvironment env{rates, clock, trace};
    InvoiceHandover handover;
    bool ok = false;
};

TEST_F(InvoiceTest, GoldenInvoiceWithTwoRatesAndAnExemptOne)
{
    const auto lines =
        rewrite({"OPFS,N15,:ROSSI SRL,<VIA ROMA 1,=20100 MILANO,>P.IVA 01234567890;", "OPER,C3;",
                 "PLUD,N1,:pane,Q2,P150,I400;", "PLUD,N2,:VINO ROSSO,P1000,I2200;", "PLUD,N3,:LIBRO,Q1.5,P999,I0;",
                 "COUP,V100,:SCONTO;", "PRNT,:Consegna entro, venerdi;", "CASH,V2000;", "CRED;", "CLFS;"});
    // LIBRO: 999 x 1.5 = 1498.5 cents; CREDITO takes the rest of the total. Taxable parts: 300 / 1.04 = 288.46,
    // 1000 / 1.22 = 819.67, and the exempt 1499 less the discount.
    const std::string expected =
        joined({"OPFS,N15,:ROSSI SRL,<VIA ROMA 1,=20100 MILANO,>P.IVA 01234567890,V0;", "PRNT,:FATTURA Num. 15,H1;",
                "PRNT,:05-12-2026   09:07;", kEuro, kBlank, "PRNT,:OPERATORE N. 03;"}) +
        joined({"PRNT,:2    X    1,50;", J("PANE", "3,00", "A"), "PRNT,:1    X    10,00;",
                J("VINO ROSSO", "10,00", "C"), "PRNT,:1,500    X    9,99;", J("LIBRO", "14,99", "E"),
                J("SCONTO", "1,00"), "PRNT,:CONSEGNA ENTRO, VENERDI;"}) +
        joined({kBlank, "PRNT,:TOT. FATTURA EURO" + std::string(8, ' ') + "26,99,H1;", J("CONTANTI", "20,00"),
                J("CREDITO", "6,99"), kBlank, J("CORRISP. PAGATO", "20,00"), J("CORRISP. NON PAGATO", "6,99"),
                kBlank}) +
        joined({J("IMPONIBILE A=4,00%", "2,88"), J("IVA A=4,00%", "0,12"), J("IMPONIBILE C=22,00%", "8,20"),
                J("IVA C=22,00%", "1,80"), J("ESENTE E=0,00%", "13,99"), kBlank, J("TOT. IMPONIBILE ", "25,07"),
                J("TOT. IVA ", "1,92"), kBlank}) +
        joined({"PRNT,: --- Intestazione Cliente ---;", "PRNT,:ROSSI SRL ;", "PRNT,:VIA ROMA 1 ;",
                "PRNT,:20100 MILANO ;", "PRNT,:P.IVA 01234567890 ;", "CLFS;"});
    EXPECT_TRUE(ok);
    EXPECT_EQ(joined(lines), expected);
    EXPECT_EQ(handover.invoiceTotal, 2699);
    EXPECT_TRUE(handover.invoiceTextMode);
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(InvoiceTest, GivenTotalPaymentsWithoutAmountAndHeadingLines)
{
    const auto lines = rewrite({"OPFS,V5000,N7;", "SALE,N1,P1000,I1000;", "EXTL,N1,:NOTE", "TEND,N10,V100;", "TEND,N3;",
                                "TICK,V500,:BUONI;", "CASH;", "CHEQ,V1,:abc;"},
                               InvoiceLayout{32, true, false, false});
    EXPECT_TRUE(ok);
    EXPECT_EQ(lines.at(0), "OPFS,V5000,N7;");
    // No invoice number, no date line: the currency header comes first.
    EXPECT_EQ(lines.at(1), kEuro);
    // Type 10 is no card and no cash: it prints nothing and pays nothing.
    const std::vector<std::string> payments(lines.begin() + 5, lines.begin() + 14);
    EXPECT_EQ(joined(payments),
              joined({kBlank, "PRNT,:TOTALE FATTURA EURO" + std::string(6, ' ') + "50,00,H1;",
                      J("CARTA CRED.", "50,00"), J("BUONI", "5,00"), J("CONTANTI", "0,00"), J("ABC", "0,01"), kBlank,
                      J("CORRISP. PAGATO", "50,01"), J("CORRISP. NON PAGATO", "5,00")}));
    EXPECT_EQ(handover.invoiceTotal, 5000);
    ASSERT_EQ(handover.invoiceHeading.size(), 5u);
    EXPECT_EQ(handover.invoiceHeading[4], "NOTE" + std::string(26, ' '));
}

TEST_F(InvoiceTest, ZeroOrUnreadableTotalGivesTheComputedTotal)
{
    for (const char* opfs : {"OPFS,V0;", "OPFS,Vabc;", "OPFS,V;"}) {
        const auto lines = rewrite({opfs, "SALE,N1,P1234,I2200;", "CASH;"});
        EXPECT_TRUE(ok);
        EXPECT_EQ(lines.at(0), opfs);
        EXPECT_EQ(handover.invoiceTotal, 1234) << opfs;
    }
}

TEST_F(InvoiceTest, TaxableAndVatAlwaysAddUpToTheAmountSold)
{
    // 13 cents at 4 %: the taxable part is exactly 12.5 cents.
    const auto lines = rewrite({"OPFS,V13;", "SALE,N1,P13,I400;"});
    EXPECT_TRUE(ok);
    const std::string all = joined(lines);
    EXPECT_NE(all.find(J("IMPONIBILE A=4,00%", "0,13")), std::string::npos) << all;
    EXPECT_NE(all.find(J("IVA A=4,00%", "0,00")), std::string::npos) << all;
}

TEST_F(InvoiceTest, AdjustmentsBeforeTheFirstArticleAreDropped)
{
    const auto lines =
        rewrite({"OPFS;", "COST,V100;", "ADDS,V50,:X;", "PLUD,:A,P100,I2200;", "ADDS,V50;", "SALE,I2200;"});
    EXPECT_TRUE(ok);
    EXPECT_EQ(handover.invoiceTotal, 150);
    const std::string all = joined(lines);
    EXPECT_EQ(all.find("SCONTO SU SUBT."), std::string::npos);
    EXPECT_NE(all.find(J("MAGG. SU SUBT.", "0,50")), std::string::npos) << all;
    EXPECT_NE(all.find("PRNT,:1    X    0,00;\n" + J("  ", "0,00", "C")), std::string::npos) << all;
}

TEST_F(InvoiceTest, ARateOutsideTheTableStopsTheRewriting)
{
    const auto lines = rewrite({"OPFS,V1000;", "PLUD,:A,P100,I2200;", "PLUD,:B,P100,I1900;", "CASH;"});
    EXPECT_FALSE(ok);
    EXPECT_EQ(handover.invoiceTotal, 0);
    EXPECT_EQ(lines.back(), "PRNT,:1    X    1,00;") << "the lines written so far stay";
    ASSERT_EQ(trace.lines.size(), 1u);
    EXPECT_NE(trace.lines[0].find("ConvertFatturaSuScontrino: "), std::string::npos);
    EXPECT_EQ(trace.lines[0].rfind("20261205_090700: ", 0), 0u);
}

TEST_F(InvoiceTest, AmountsTooLargeToCarryFailInsteadOfWrapping)
{
    rewrite({"OPFS;", "SALE,P999999999999999,Q999999.999,I2200;"});
    EXPECT_FALSE(ok);
    EXPECT_EQ(handover.invoiceTotal, 0);
}

TEST_F(InvoiceTest, FileFormWithoutItsCopyFailsAndWritesNothing)
{
    test::TempDir dir;
    EXPECT_FALSE(convertInvoiceToReceipt(dir.file("missing"), dir.file("out"), 32, true, true, true, env, handover));
    EXPECT_FALSE(dir.exists("out"));
    EXPECT_EQ(trace.lines.size(), 1u);
}

} // namespace
} // namespace tavor1
