#pragma once

// The "list field" reading of the option files: a comma or a line end ends a
// field; a field in double quotes keeps its commas and blanks, the quotes
// removed; an unquoted field loses its surrounding blanks. Fields follow one
// another across lines, so a stray comma in one line shifts every later
// field: the option files have always been read this way.

#include <string>
#include <string_view>
#include <vector>

namespace tavor1 {

std::vector<std::string> readListFields(std::string_view bytes);

// A number written as decimal text: optional sign, digits, optional decimal
// point and digits, surrounded by blanks at most. False for anything else
// (empty, letters, exponents, two points).
bool parseDecimalNumber(std::string_view text, double& value);

} // namespace tavor1
