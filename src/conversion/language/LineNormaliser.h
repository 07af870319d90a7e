#pragma once

// Cleans request lines before they are converted: texts upper-cased, folded to
// what the register can print, cut to their width; numeric parameters brought
// to one form. Lines are Windows-1252 bytes.

#include <string>
#include <string_view>

namespace tavor1 {

// Text widths of the normaliser.
inline constexpr int kOrdinaryTextWidth = 30;
inline constexpr int kDisplayTextWidth = 40;
inline constexpr int kPrintTextWidth = 32;

// Upper case in Windows-1252: ASCII letters and the accented letters 224-254
// (not 247). The range 128-159 is left alone, so that the DOS 850 codes that
// share it (156 is the DOS pound sign) still fold as the tables say.
std::string upperCase1252(std::string_view text);

// The command-line folding table, in its order: tabs removed, the accented
// letters and the DOS 850 codes folded, "&" to "e", the umlauts to two letters.
std::string foldCommandText(std::string_view text);

// The print-line folding table, in its order.
std::string foldPrintText(std::string_view text);

// Normalises an ordinary command line: command word cut to four letters and
// upper-cased, texts folded and cut to `width`, "TOTALE" kept off the receipt,
// numeric values reduced to digits and "."; a ";" appended when missing.
std::string parseRequestLine(std::string_view line, int width);

// Normalises a "PRNT," line: the text after ",:" cut to `width`, folded with
// the print-line table, ";" appended. Letter case and commas are kept.
std::string normalizeTextLine(std::string_view line, int width);

// parseRequestLine for a "PRNT," line of an invoice that is rewritten into a
// receipt: upper case, folding and width as on any command line, but the
// text is read as invoice text mode reads it, from ",:" to a ",H" tag (else
// to the end, less one ";"), commas included, so that "Via Roma, 5" stays
// one text instead of becoming "VIA ROMA" and a tag "51".
std::string normalizeInvoicePrintLine(std::string_view line, int width);

// Every character from 129 up becomes ".".
std::string maskHighChars(std::string_view text);

// normalizeTextLine, then maskHighChars.
std::string preparePrintLine(std::string_view line, int width);

// The normalisation a request line gets before conversion, chosen by its
// command word: "READ" lines unchanged, "DISP" width 40, "PRNT," a print line
// of width 32, every other line width 30.
std::string normalizeRequestLine(std::string_view line);

} // namespace tavor1
