#pragma once

#include <string>

namespace tavor1 {

struct Options;

// The built-in test receipt: register commands sent as they stand, two
// articles each sold and voided, paid in cash. CR LF after every line.
std::string buildTestReceipt(const Options& options);

// The go signal the test button writes beside it.
inline constexpr const char* kTestReceiptStart = "00000000\r\n";

} // namespace tavor1
