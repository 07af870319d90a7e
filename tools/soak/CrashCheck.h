#pragma once

// The invariants of one crash-soak cycle: a sale submitted once, the driver
// killed somewhere in its job and restarted, the host resubmitting after an
// SR_ERR. Judged on what the host saw, the paper roll and the payment
// service's charges once the cycle is over.

#include "soak/RollAudit.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavor1::soak {

// What became of one go signal the host wrote.
struct GoSignalOutcome {
    // FINESCO or SR_ERR files the host read for it; more than one is an
    // answer given twice.
    int answers = 0;
    // The first answer.
    bool finesco = false;
    std::string srErrLine;
    // SR_DATI was still there when the host read the SR_ERR.
    bool srDatiKept = true;
    // It was there with the SR_ERR but gone when the host came to resubmit
    // (a restart in between took it).
    bool srDatiLostBeforeResubmit = false;
};

struct CycleObservation {
    // In the order the host wrote them: the first submission, then a go
    // signal for each resubmission.
    std::vector<GoSignalOutcome> goSignals;
    // The sale's marker on the roll, this cycle's documents only.
    MarkerCount marker;
    // Other cycles whose sale is now printed more than once (newly found).
    std::vector<int> duplicatedJobs;
    // Empty when the register has no document open once the driver is
    // idle again; else what is open ("receipt", "non-fiscal").
    std::string documentLeftOpen;
    // Each time the driver did not start or did not come up, in words.
    std::vector<std::string> startFailures;
};

// Every broken invariant as one line; empty when the cycle kept them all.
std::vector<std::string> checkCycle(const CycleObservation& o);

// One charge made by the payment service.
struct Charge {
    int transactionId = 0;
    std::string amount;
    // Its AuthorizationCode, by which the driver's history names it.
    std::string authorization;
};

// The charges made during one sale's cycle.
struct SaleCharges {
    bool cardSale = false;
    std::vector<Charge> charges;
    // The sale's receipt is on the roll.
    bool printed = false;
};

// The operation number a charge carries in POSData: six digits.
std::string operationNumber(int transactionId);

// No sale charged twice, no card receipt without a charge, and every charge
// either used by the printed receipt (the last one) or listed by the driver
// as not used (by authorization code).
std::vector<std::string> checkCharges(const SaleCharges& sale, const std::set<std::string>& notUsed);

// The authorization codes of the approvals that `tavor1 history` lists as
// not used by any printed document: "APPROVAZIONE POS NON USATA" (given up,
// to be refunded) and "APPROVAZIONE POS IN SOSPESO" (its sale failed, a
// retry may still use it), each with "aut. CODE,".
std::set<std::string> parseNotUsedApprovals(std::string_view history);

} // namespace tavor1::soak
