#include "driver/TestReceipt.h"

#include "settings/Options.h"

namespace tavor1 {

namespace {

// A display line: the text padded to 38 columns, the character 0x7F (the
// register's separator glyph) and the amount, 44 characters in all.
std::string displayLine(const std::string& text, const std::string& amount)
{
    std::string line = "7007" + text;
    line.resize(38, ' ');
    line += '\x7F';
    line += amount;
    return line;
}

} // namespace

std::string buildTestReceipt(const Options& options)
{
    std::string lines[] = {
        "7007" + std::string(40, ' '),
        displayLine("ARTICOLO 1", " 0,01"),
        "310110122ARTICOLO 1            000000001",
        "3002106 STORNO",
        displayLine("STORNO", " 0,01"),
        "310140122ARTICOLO 1            000000001",
        displayLine("ARTICOLO 2", " 0,01"),
        "310110222ARTICOLO 2            000000001",
        "3002106 STORNO",
        displayLine("STORNO", " 0,01"),
        "310140222ARTICOLO 2            000000001",
        "30211200134015000086714",
        displayLine("CONTANTI", " 0,00"),
        "300408CONTANTI000000000",
        "3011",
    };
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    if (options.CheckStampaLogo)
        out += "3017011\r\n";
    if (!options.chbNoInviaApCassetto)
        out += "70081\r\n";
    out += "3013\r\n";
    return out;
}

} // namespace tavor1
