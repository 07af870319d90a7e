#pragma once

// The register's day totals written to a file for the host, one total a line.

#include "link/RegisterExchange.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tavor1 {

// Reads the day's totals ("1004") and the number of fiscal closings ("1104")
// and writes them to fileName (replaced, or appended to when append is true).
// Returns the "1004" exchange's result (when it failed, the file holds zero
// totals); nullopt when the file could not be written. Amounts use
// decimalSeparator.
std::optional<ExchangeResult> dumpRegisterData(RegisterExchange& exchange, const std::string& fileName, bool append,
                                               char decimalSeparator = '.');

} // namespace tavor1
