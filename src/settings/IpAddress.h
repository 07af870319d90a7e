#pragma once

#include <string_view>

namespace tavor1 {

// True for a dotted IPv4 address: exactly four parts, each one to three
// decimal digits with a value of 255 or less. Signs, decimals, blanks and a
// fifth part are refused: the address goes to the socket as it stands, and
// such a text would only fail there later, far from the setting that caused it.
bool validateIpAddress(std::string_view address);

} // namespace tavor1
