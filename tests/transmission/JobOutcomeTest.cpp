// The end of a job: result texts and the exchange files the host sees.

#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "platform/Clock.h"
#include "transmission/JobOutcome.h"

#include <gtest/gtest.h>

#include <optional>

namespace tavor1 {
namespace {

TEST(ReportJobOutcomeTest, FailureIsAnsweredOnceWithTheRegistersText)
{
    test::TempDir dir;
    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 0}};
    ExchangeFiles files{dir.path(), clock};
    bool jobRunning = true;
    std::vector<std::string> statusLines;
    JobOutcomeContext ctx;
    ctx.files = &files;
    ctx.channel = 1;
    ctx.showStatus = [&](const std::string& line) { statusLines.push_back(line); };
    ctx.registerErrorText = "STAMPANTE GUASTA";
    ctx.lastRegisterError = "99";
    EXPECT_TRUE(reportJobOutcome(JobResult::RegisterOwnError, ctx, jobRunning));
    EXPECT_TRUE(reportJobOutcome(JobResult::Ok, ctx, jobRunning)) << "the job was already answered";
    EXPECT_EQ(dir.read("SR_ERR.001"), "Errore 99: STAMPANTE GUASTA : ERRORE 99\r\n");
    EXPECT_FALSE(dir.exists("FINESCO.001"));
    EXPECT_EQ(statusLines, std::vector<std::string>{"TAVOR1 TERMINATO : RILEVATO ERRORE 99: STAMPANTE GUASTA"});
}

// What the host reads in SR_ERR and the window in its status line for each
// result: the register's conditions, the driver's own failures, the card
// payment's, and codes no row speaks of.
struct OutcomeRow {
    const char* name;
    std::optional<SendResult> sendResult; // none: the job ends before any send
    JobResult jobResult;
    const char* errorText; // SR_ERR, empty for a successful job
    const char* statusText; // after "TAVOR1 TERMINATO : "; null: the SR_ERR text
};

class JobOutcomeTexts : public ::testing::TestWithParam<OutcomeRow> { };

TEST_P(JobOutcomeTexts, AreTheHostsAndTheWindows)
{
    const OutcomeRow& row = GetParam();
    if (row.sendResult) {
        EXPECT_EQ(jobResultForSendResult(*row.sendResult), row.jobResult);
    }
    if (row.jobResult != JobResult::Ok) {
        EXPECT_EQ(jobErrorText(row.jobResult, ""), row.errorText);
    }
    const std::string status = row.statusText ? row.statusText : row.errorText;
    EXPECT_EQ(jobStatusLine(row.jobResult, ""), "TAVOR1 TERMINATO : " + status);
}

using S = SendResult;
using J = JobResult;
using P = PaymentResult;
constexpr std::optional<SendResult> kNotSent;
constexpr const char* kSame = nullptr;
constexpr const char* kGeneric = "Errore generico sull'Ecr, verificare sul manuale del registratore";
constexpr const char* kNoAnswer = "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr";
const auto paid = [](PaymentResult result) { return JobResultForPayment(result); };

const OutcomeRow kOutcomes[] = {
    {"Complete", S::Complete, J::Ok, "", "TUTTO OK"},
    {"PrintBufferFull", S::PrintBufferFull, J::PrintBufferFull,
     "Fine Buffer di stampa: chiudere manualmente lo scontrino", "BUFFER STAMPA ESAURITO : CHIUDERE SCONTRINO"},
    {"RtDocumentNotFound", S::RtDocumentNotFound, J::RtDocumentNotFound,
     "Errore 12 : Documento RT non trovato non modificabile ", kSame},
    {"RegisterNoAnswer", S::RegisterNoAnswer, J::NoAnswer, kNoAnswer, "TIMEOUT SCADUTO"},
    {"Unanswered", S::NoReply, J::NoAnswer, kNoAnswer, "TIMEOUT SCADUTO"},
    {"ReceiptOpen", S::ReceiptOpen, J::ReceiptOpen, "E503: Scontrino aperto, chiudere e riavviare l'esecuzione",
     "SCONTRINO APERTO"},
    {"NegativeTotal", S::NegativeTotal, J::NegativeTotal, "E505: Totale scontrino negativo",
     "TOTALE SCONTRINO NEGATIVO"},
    {"NegativeVat", S::NegativeVat, J::NegativeVat, "Errore 29 : IVA Negativa Documento RT Annullato ",
     "RILEVATO ERRORE 29 : "},
    {"JournalExhausted", S::JournalExhausted, J::JournalExhausted, "E508: Giornale elettronico esaurito : sostituire",
     "GIORNALE ELETTR. ESAURITO : SOSTITUIRE"},
    {"JournalNearlyFull", S::JournalNearlyFull, J::JournalNearlyFull, "E507: Giornale elettronico in esaurimento",
     "GIORNALE ELETTR. IN ESAURIMENTO : SOSTITUIRE"},
    {"CoverOpen", S::CoverOpen, J::CoverOpen, "E509: Coperchio stampante aperto", "CHIUDERE SPORTELLINO STAMPANTE"},
    {"FiscalMemoryFull", S::FiscalMemoryFull, J::FiscalMemoryFull, "E1: MF esaurita : contattare assistenza tecnica",
     "MF ESAURITA"},
    {"RegisterOwnError", S::RegisterOwnError, J::RegisterOwnError, "Errore 99: ", "RILEVATO ERRORE 99: "},
    {"RegisterError", S::RegisterError, J::RegisterError, kGeneric, "ERRORE GENERICO SU ECR"},
    {"ConnectionLost", S::ConnectionLost, J::Network, "E520: Errore di connessione rete",
     "ERRORE FATALE DI COMUNICAZIONE TRAMITE SOCKET"},
    {"CodeNoRowSpeaksOf", codeFromNumber<S>(42), J::Ok, "", "TUTTO OK"},
    {"ResultWithoutATextOfItsOwn", kNotSent, codeFromNumber<J>(-6), kGeneric, "ERRORE GENERICO SU ECR"},
    {"RequestVanished", kNotSent, J::RequestVanished, "E506: Trasmissione non avvenuta: file di input non presente",
     "FILE SR_DATI NON PRESENTE"},
    {"ConversionFailed", S::ConversionFailed, J::ConversionFailed,
     "E502: Conversione non riuscita: verificare il file SR_DATI", "CONVERSIONE NON RIUSCITA"},
    {"OutputUnavailable", S::OutputUnavailable, J::OutputUnavailable,
     "E510: File SR_OUT non scrivibile: documento non stampato", "FILE SR_OUT NON SCRIVIBILE"},
    {"CancelledByOperator", S::CancelledByOperator, J::CancelledByOperator, "E511: Documento annullato dall'operatore",
     "DOCUMENTO ANNULLATO DALL'OPERATORE"},
    {"PaymentApproved", kNotSent, paid(P::Ok), "", "TUTTO OK"},
    {"PaymentTimedOut", kNotSent, paid(P::TimedOut), "E601: Trasmissione POS interrotta: timeout ricevuto", kSame},
    {"PaymentServiceError", kNotSent, paid(P::ServiceError), "E602:  Ricevuto errore dal servizio", kSame},
    {"PaymentDeclined", kNotSent, paid(P::Declined), "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS", kSame},
    {"PaymentUnreachable", kNotSent, paid(P::Unreachable),
     "E604: A connection with the server could not be established", kSame},
};
INSTANTIATE_TEST_SUITE_P(Results, JobOutcomeTexts, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1
