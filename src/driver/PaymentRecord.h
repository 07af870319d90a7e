#pragma once

#include <string>

namespace tavor1 {

struct POSData;

// Appends the card-payment block to the job's SR_OUT unless it already holds
// it: an approved payment whose document failed must still reach the host.
bool appendPaymentBlockToSrOut(const std::string& outPath, const POSData& pos);

} // namespace tavor1
