#pragma once

// Reading the request language: command words at the start of a line, tagged
// parameters anywhere in it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavor1 {

// Finds `tag` in `line`, ignoring letter case, and reads its value.
// atStart: the tag is a command word and counts only at column 1 (and only
// within the first five characters); otherwise the first occurrence anywhere.
// Not found: false, and `value` is left as it was.
// Found: the value runs up to the next "," or ";" or the end of the line. It
// starts right after a two-character tag; at the letter itself for ",S" and
// ",R" (",S1" gives "S1"); at column 7 for "DISP", "PRNT" and "CLER" (after
// "PRNT,:"); at column 1 for ".".
// invoiceTextMode: the ",:" text of a "PRNT," line is taken literally, commas
// included, up to a following ",H" tag, else to the end of the line less one
// trailing ";".
bool getParam(bool atStart, std::string_view line, std::string_view tag, std::string& value,
              bool invoiceTextMode = false);

// getParam of a tag anywhere in the line, as an optional.
std::optional<std::string> findParam(std::string_view line, std::string_view tag, bool invoiceTextMode = false);

// The line starts with the command word `word` ("SALE", "PRNT,"), any case.
bool startsWithWord(std::string_view line, std::string_view word);

// The line starts with "TEND,N" and the number `n` (any case), and no further
// digit follows: "TEND,N1;" is tender 1, "TEND,N12" is not.
bool startsWithTender(std::string_view line, int n);

// A number as the host writes one: blanks around, an optional sign, digits
// with at most one "." or ",". At least one digit.
bool isNumeric(std::string_view text);

// The lines of a request file: ends are CR LF, LF or a lone CR; a last line
// without an end counts, a final line end does not make an empty line.
std::vector<std::string> splitRequestLines(std::string_view bytes);

} // namespace tavor1
