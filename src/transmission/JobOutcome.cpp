#include "transmission/JobOutcome.h"

#include "exchange/ExchangeFiles.h"

namespace tavor1 {

std::int16_t JobResultForSendResult(std::int16_t sendResult)
{
    switch (sendResult) {
    case send::Complete: return job::Ok;
    case send::PrintBufferFull: return job::PrintBufferFull;
    case send::RegisterNoAnswer:
    case send::NoReply: return job::NoAnswer;
    case send::NegativeTotal: return job::NegativeTotal;
    case send::JournalExhausted: return job::JournalExhausted;
    case send::JournalNearlyFull: return job::JournalNearlyFull;
    case send::CoverOpen: return job::CoverOpen;
    case send::FiscalMemoryFull: return job::FiscalMemoryFull;
    case send::RegisterError: return job::RegisterError;
    case send::ReceiptOpen: return job::ReceiptOpen;
    case send::RtDocumentNotFound: return job::RtDocumentNotFound;
    case send::ConnectionLost: return job::Network;
    case send::NegativeVat: return job::NegativeVat;
    case send::RegisterOwnError: return job::RegisterOwnError;
    // A request that gave no command list printed nothing: the host must not
    // be told it did.
    case send::ConversionFailed: return job::ConversionFailed;
    case send::CancelledByOperator: return job::CancelledByOperator;
    case send::OutputUnavailable: return job::OutputUnavailable;
    default: return job::Ok;
    }
}

std::string JobStatusText(std::int16_t jobResult, const std::string& registerErrorText)
{
    switch (jobResult) {
    case -203: return "E604: A connection with the server could not be established";
    case -202: return "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS";
    case -201: return "E602:  Ricevuto errore dal servizio";
    case -200: return "E601: Trasmissione POS interrotta: timeout ricevuto";
    case job::CancelledByOperator: return "DOCUMENTO ANNULLATO DALL'OPERATORE";
    case job::OutputUnavailable: return "FILE SR_OUT NON SCRIVIBILE";
    case job::ConversionFailed: return "CONVERSIONE NON RIUSCITA";
    case job::RequestVanished: return "FILE SR_DATI NON PRESENTE";
    case job::RegisterOwnError: return "RILEVATO ERRORE 99: " + registerErrorText;
    case job::NegativeVat: return "RILEVATO ERRORE 29 : " + registerErrorText;
    case job::Network: return "ERRORE FATALE DI COMUNICAZIONE TRAMITE SOCKET";
    case job::RtDocumentNotFound: return "Errore 12 : Documento RT non trovato non modificabile ";
    case job::PrintBufferFull: return "BUFFER STAMPA ESAURITO : CHIUDERE SCONTRINO";
    case job::FiscalMemoryFull: return "MF ESAURITA";
    case job::JournalNearlyFull: return "GIORNALE ELETTR. IN ESAURIMENTO : SOSTITUIRE";
    case job::JournalExhausted: return "GIORNALE ELETTR. ESAURITO : SOSTITUIRE";
    case job::NoAnswer: return "TIMEOUT SCADUTO";
    case job::CoverOpen: return "CHIUDERE SPORTELLINO STAMPANTE";
    case job::ReceiptOpen: return "SCONTRINO APERTO";
    case job::NegativeTotal: return "TOTALE SCONTRINO NEGATIVO";
    case job::Ok: return "TUTTO OK";
    default: return "ERRORE GENERICO SU ECR";
    }
}

std::string JobStatusLine(std::int16_t jobResult, const std::string& registerErrorText)
{
    return "TAVOR1 TERMINATO : " + JobStatusText(jobResult, registerErrorText);
}

std::string JobErrorText(std::int16_t jobResult, const std::string& registerErrorText)
{
    switch (jobResult) {
    case -203: return "E604: A connection with the server could not be established";
    case -202: return "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS";
    case -201: return "E602:  Ricevuto errore dal servizio";
    case -200: return "E601: Trasmissione POS interrotta: timeout ricevuto";
    case job::CancelledByOperator: return "E511: Documento annullato dall'operatore";
    case job::OutputUnavailable: return "E510: File SR_OUT non scrivibile: documento non stampato";
    case job::ConversionFailed: return "E502: Conversione non riuscita: verificare il file SR_DATI";
    // The request vanished between the go signal and the send: the host is
    // told what it is told when the request was missing from the start.
    case job::RequestVanished: return std::string(kMissingRequestText);
    case job::RegisterOwnError: return "Errore 99: " + registerErrorText;
    case job::NegativeVat: return "Errore 29 : IVA Negativa Documento RT Annullato ";
    case job::Network: return "E520: Errore di connessione rete";
    case job::RtDocumentNotFound: return "Errore 12 : Documento RT non trovato non modificabile ";
    case job::PrintBufferFull: return "Fine Buffer di stampa: chiudere manualmente lo scontrino";
    case job::FiscalMemoryFull: return "E1: MF esaurita : contattare assistenza tecnica";
    case job::JournalNearlyFull: return "E507: Giornale elettronico in esaurimento";
    case job::JournalExhausted: return "E508: Giornale elettronico esaurito : sostituire";
    case job::NoAnswer: return "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr";
    case job::CoverOpen: return "E509: Coperchio stampante aperto";
    case job::ReceiptOpen: return "E503: Scontrino aperto, chiudere e riavviare l'esecuzione";
    case job::NegativeTotal: return "E505: Totale scontrino negativo";
    default: return "Errore generico sull'Ecr, verificare sul manuale del registratore";
    }
}

JobAnswer JobAnswerFor(std::int16_t jobResult, int channel, const std::string& registerErrorText,
                       const std::string& lastRegisterError)
{
    JobAnswer answer;
    answer.channel = channel;
    answer.success = jobResult == job::Ok;
    if (!answer.success) {
        answer.errorLine = JobErrorText(jobResult, registerErrorText);
        if (!lastRegisterError.empty())
            answer.errorLine.append(" : ERRORE ").append(lastRegisterError);
    }
    return answer;
}

bool ReportJobOutcome(std::int16_t jobResult, const JobOutcomeContext& ctx, bool& jobRunning)
{
    if (!jobRunning)
        return true;
    if (ctx.showStatus)
        ctx.showStatus(JobStatusLine(jobResult, ctx.registerErrorText));
    if (jobResult == job::Ok && ctx.clearRegisterMessages)
        ctx.clearRegisterMessages();
    jobRunning = false;
    JobAnswer answer = JobAnswerFor(jobResult, ctx.channel, ctx.registerErrorText, ctx.lastRegisterError);
    if (ctx.answerHost) {
        ctx.answerHost(std::move(answer));
        return true;
    }
    if (!ctx.files)
        return true;
    std::optional<FileIdentity> stuck;
    return deliverJobAnswer(*ctx.files, answer, stuck) == AnswerProgress::Delivered && !stuck;
}

} // namespace tavor1
