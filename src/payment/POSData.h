#pragma once

#include <string>

namespace tavor1 {

// The outcome of the last card payment, 17 text fields in this order. Reset to
// all-empty at the start of every payment step; read by the outcome slip and
// the SR_OUT writer.
struct POSData {
    std::string Comando;
    std::string Importo;
    std::string Esito;
    std::string DataOperazione;
    std::string DescrErr;
    std::string DescrErrAggi;
    std::string TerminalId;
    std::string AcquirerId;
    std::string TransactionType;
    std::string TransactionResult;
    std::string KODescription;
    std::string CardType;
    std::string STAN;
    std::string PAN;
    std::string AuthorizationCode;
    std::string OperationNumber;
    std::string DataTrs;
};

} // namespace tavor1
