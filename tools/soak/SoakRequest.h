#pragma once

// The request of one soak job: a receipt or a non-fiscal document whose
// article or text carries a marker no other job uses, so that the paper roll
// tells which job printed what.

#include <random>
#include <string>

namespace tavor1::soak {

enum class DocumentShape {
    Receipt,     // articles and a cash payment
    CardReceipt, // "PAGA" first line, then articles paid by card
    NonFiscal,   // a non-fiscal document with the marker as a print line
};

struct SoakRequest {
    DocumentShape shape = DocumentShape::Receipt;
    // "SOAK 000123"
    std::string marker;
    // SR_DATI as the host writes it: Windows-1252, CR LF.
    std::string bytes;
    bool withPayment() const { return shape == DocumentShape::CardReceipt; }
};

// The marker of job n; markerJob reads it back (0 when the text holds none).
std::string jobMarker(int job);
int markerJob(std::string_view text);

SoakRequest makeRequest(int job, std::mt19937_64& random);
// A receipt paid in cash or, with a "PAGA" first line, by card.
SoakRequest makeSale(int job, std::mt19937_64& random, bool byCard);

} // namespace tavor1::soak
