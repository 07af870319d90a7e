#include "transmission/JobOutcome.h"

#include "exchange/ExchangeFiles.h"

namespace tavor1 {

JobResult jobResultForSendResult(SendResult sendResult)
{
    switch (sendResult) {
    case SendResult::Complete:
        return JobResult::Ok;
    case SendResult::PrintBufferFull:
        return JobResult::PrintBufferFull;
    case SendResult::RegisterNoAnswer:
    case SendResult::NoReply:
        return JobResult::NoAnswer;
    case SendResult::NegativeTotal:
        return JobResult::NegativeTotal;
    case SendResult::JournalExhausted:
        return JobResult::JournalExhausted;
    case SendResult::JournalNearlyFull:
        return JobResult::JournalNearlyFull;
    case SendResult::CoverOpen:
        return JobResult::CoverOpen;
    case SendResult::FiscalMemoryFull:
        return JobResult::FiscalMemoryFull;
    case SendResult::RegisterError:
        return JobResult::RegisterError;
    case SendResult::ReceiptOpen:
        return JobResult::ReceiptOpen;
    case SendResult::RtDocumentNotFound:
        return JobResult::RtDocumentNotFound;
    case SendResult::ConnectionLost:
        return JobResult::Network;
    case SendResult::NegativeVat:
        return JobResult::NegativeVat;
    case SendResult::RegisterOwnError:
        return JobResult::RegisterOwnError;
    // A request that gave no command list printed nothing: the host must not
    // be told it did.
    case SendResult::ConversionFailed:
        return JobResult::ConversionFailed;
    case SendResult::CancelledByOperator:
        return JobResult::CancelledByOperator;
    case SendResult::OutputUnavailable:
        return JobResult::OutputUnavailable;
    default:
        return JobResult::Ok;
    }
}

JobResult JobResultForPayment(PaymentResult paymentResult)
{
    switch (paymentResult) {
    case PaymentResult::Ok:
        return JobResult::Ok;
    case PaymentResult::TimedOut:
        return JobResult::PaymentTimedOut;
    case PaymentResult::ServiceError:
        return JobResult::PaymentServiceError;
    case PaymentResult::Declined:
        return JobResult::PaymentDeclined;
    case PaymentResult::Unreachable:
        return JobResult::PaymentUnreachable;
    }
    return codeFromNumber<JobResult>(codeNumber(paymentResult));
}

std::string jobStatusText(JobResult jobResult, const std::string& registerErrorText)
{
    switch (jobResult) {
    case JobResult::PaymentUnreachable:
        return "E604: A connection with the server could not be established";
    case JobResult::PaymentDeclined:
        return "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS";
    case JobResult::PaymentServiceError:
        return "E602:  Ricevuto errore dal servizio";
    case JobResult::PaymentTimedOut:
        return "E601: Trasmissione POS interrotta: timeout ricevuto";
    case JobResult::CancelledByOperator:
        return "DOCUMENTO ANNULLATO DALL'OPERATORE";
    case JobResult::OutputUnavailable:
        return "FILE SR_OUT NON SCRIVIBILE";
    case JobResult::ConversionFailed:
        return "CONVERSIONE NON RIUSCITA";
    case JobResult::RequestVanished:
        return "FILE SR_DATI NON PRESENTE";
    case JobResult::RegisterOwnError:
        return "RILEVATO ERRORE 99: " + registerErrorText;
    case JobResult::NegativeVat:
        return "RILEVATO ERRORE 29 : " + registerErrorText;
    case JobResult::Network:
        return "ERRORE FATALE DI COMUNICAZIONE TRAMITE SOCKET";
    case JobResult::RtDocumentNotFound:
        return "Errore 12 : Documento RT non trovato non modificabile ";
    case JobResult::PrintBufferFull:
        return "BUFFER STAMPA ESAURITO : CHIUDERE SCONTRINO";
    case JobResult::FiscalMemoryFull:
        return "MF ESAURITA";
    case JobResult::JournalNearlyFull:
        return "GIORNALE ELETTR. IN ESAURIMENTO : SOSTITUIRE";
    case JobResult::JournalExhausted:
        return "GIORNALE ELETTR. ESAURITO : SOSTITUIRE";
    case JobResult::NoAnswer:
        return "TIMEOUT SCADUTO";
    case JobResult::CoverOpen:
        return "CHIUDERE SPORTELLINO STAMPANTE";
    case JobResult::ReceiptOpen:
        return "SCONTRINO APERTO";
    case JobResult::NegativeTotal:
        return "TOTALE SCONTRINO NEGATIVO";
    case JobResult::Ok:
        return "TUTTO OK";
    default: return "ERRORE GENERICO SU ECR";
    }
}

std::string jobStatusLine(JobResult jobResult, const std::string& registerErrorText)
{
    return "TAVOR1 TERMINATO : " + jobStatusText(jobResult, registerErrorText);
}

std::string jobErrorText(JobResult jobResult, const std::string& registerErrorText)
{
    switch (jobResult) {
    // A refused card payment says the same in SR_ERR and in the window.
    case JobResult::PaymentUnreachable:
    case JobResult::PaymentDeclined:
    case JobResult::PaymentServiceError:
    case JobResult::PaymentTimedOut:
        return jobStatusText(jobResult, registerErrorText);
    case JobResult::CancelledByOperator:
        return "E511: Documento annullato dall'operatore";
    case JobResult::OutputUnavailable:
        return "E510: File SR_OUT non scrivibile: documento non stampato";
    case JobResult::ConversionFailed:
        return "E502: Conversione non riuscita: verificare il file SR_DATI";
    // The request vanished between the go signal and the send: the host is
    // told what it is told when the request was missing from the start.
    case JobResult::RequestVanished:
        return std::string(kMissingRequestText);
    case JobResult::RegisterOwnError:
        return "Errore 99: " + registerErrorText;
    case JobResult::NegativeVat:
        return "Errore 29 : IVA Negativa Documento RT Annullato ";
    case JobResult::Network:
        return "E520: Errore di connessione rete";
    case JobResult::RtDocumentNotFound:
        return "Errore 12 : Documento RT non trovato non modificabile ";
    case JobResult::PrintBufferFull:
        return "Fine Buffer di stampa: chiudere manualmente lo scontrino";
    case JobResult::FiscalMemoryFull:
        return "E1: MF esaurita : contattare assistenza tecnica";
    case JobResult::JournalNearlyFull:
        return "E507: Giornale elettronico in esaurimento";
    case JobResult::JournalExhausted:
        return "E508: Giornale elettronico esaurito : sostituire";
    case JobResult::NoAnswer:
        return "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr";
    case JobResult::CoverOpen:
        return "E509: Coperchio stampante aperto";
    case JobResult::ReceiptOpen:
        return "E503: Scontrino aperto, chiudere e riavviare l'esecuzione";
    case JobResult::NegativeTotal:
        return "E505: Totale scontrino negativo";
    default: return "Errore generico sull'Ecr, verificare sul manuale del registratore";
    }
}

JobAnswer jobAnswerFor(JobResult jobResult, int channel, const std::string& registerErrorText,
                       const std::string& lastRegisterError)
{
    JobAnswer answer;
    answer.channel = channel;
    answer.success = jobResult == JobResult::Ok;
    if (!answer.success) {
        answer.errorLine = jobErrorText(jobResult, registerErrorText);
        if (!lastRegisterError.empty())
            answer.errorLine.append(" : ERRORE ").append(lastRegisterError);
    }
    return answer;
}

bool reportJobOutcome(JobResult jobResult, const JobOutcomeContext& ctx, bool& jobRunning)
{
    if (!jobRunning)
        return true;
    if (ctx.showStatus)
        ctx.showStatus(jobStatusLine(jobResult, ctx.registerErrorText));
    if (jobResult == JobResult::Ok && ctx.clearRegisterMessages)
        ctx.clearRegisterMessages();
    jobRunning = false;
    JobAnswer answer = jobAnswerFor(jobResult, ctx.channel, ctx.registerErrorText, ctx.lastRegisterError);
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
