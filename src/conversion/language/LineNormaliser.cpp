#include "conversion/language/LineNormaliser.h"

#include "conversion/language/Decimal.h"
#include "conversion/language/RequestLanguage.h"
#include "platform/NumberText.h"

#include <array>
#include <vector>

namespace tavor1 {

namespace {

struct FoldRow {
    unsigned char code;
    const char* replacement;
};

// The rows in the order the command-line table applies them. "&" sits between
// the single letters and the umlauts; 128 is applied a second time at the end.
constexpr FoldRow kCommandRows[] = {
    {128, "E"}, {130, "e"}, {133, "a"}, {135, "c"}, {136, "e"}, {138, "e"}, {141, "i"}, {149, "o"},
    {151, "u"}, {156, "L"}, {192, "A"}, {193, "A"}, {195, "E"}, {200, "E"}, {201, "E"}, {204, "I"},
    {205, "I"}, {210, "O"}, {211, "O"}, {217, "U"}, {218, "U"}, {224, "a"}, {225, "a"}, {232, "e"},
    {233, "e"}, {236, "i"}, {237, "i"}, {242, "o"}, {243, "o"}, {245, " "}, {248, " "}, {249, "u"},
    {250, "u"}, {'&', "e"}, {228, "ae"}, {196, "AE"}, {246, "oe"}, {214, "OE"}, {252, "ue"}, {220, "UE"},
    {128, "E"},
};

// The print-line table has no "&", no umlauts, no 136 and 195, but 176 and 183.
constexpr FoldRow kPrintRows[] = {
    {128, "E"}, {130, "e"}, {133, "a"}, {135, "c"}, {138, "e"}, {141, "i"}, {149, "o"}, {151, "u"},
    {156, "L"}, {176, "."}, {192, "A"}, {193, "A"}, {200, "E"}, {201, "E"}, {204, "I"}, {205, "I"},
    {210, "O"}, {211, "O"}, {217, "U"}, {218, "U"}, {224, "a"}, {225, "a"}, {232, "e"}, {233, "e"},
    {236, "i"}, {237, "i"}, {242, "o"}, {243, "o"}, {245, " "}, {248, " "}, {249, "u"}, {250, "u"},
    {183, "A"},
};

using FoldMap = std::array<const char*, 256>;

// Every replacement is plain ASCII that no later row matches, so applying the
// rows one after the other equals one pass through this map.
template <std::size_t N>
FoldMap buildMap(const FoldRow (&rows)[N])
{
    FoldMap map{};
    for (const FoldRow& row : rows)
        if (!map[row.code])
            map[row.code] = row.replacement;
    return map;
}

std::string fold(std::string_view text, const FoldMap& map, bool dropTabs)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (dropTabs && c == '\t')
            continue;
        const char* replacement = map[static_cast<unsigned char>(c)];
        if (replacement)
            out += replacement;
        else
            out += c;
    }
    return out;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string digitsAndPoints(std::string_view value)
{
    std::string out;
    for (const char c : value)
        if ((c >= '0' && c <= '9') || c == '.')
            out += c;
    return out;
}

// A quantity, department or price of an article, re-read as a number and
// written back with "." and a fixed number of decimals when it has any.
std::string rereadNumber(const std::string& value, std::size_t decimals)
{
    const auto number = Decimal::parse(value, '.');
    if (!number)
        return value;
    std::string text = number->toText('.');
    const std::size_t point = text.find('.');
    if (point == std::string::npos)
        return text;
    const std::size_t have = text.size() - point - 1;
    if (have > decimals)
        text.resize(point + 1 + decimals);
    else
        text.append(decimals - have, '0');
    return text;
}

std::string normaliseValuePart(const std::string& word, const std::string& part)
{
    const char tag = part[0];
    const bool keepAsWritten = (tag == 'C' && (word == "PLUD" || word == "LOTT")) || (tag == '>' && word == "NDCR")
                               || word == "DELD";
    if (keepAsWritten)
        return part;
    std::string value = digitsAndPoints(std::string_view(part).substr(1));
    if (value.empty() && tag != 'R' && tag != 'S')
        value = "1";
    if ((word == "SALE" || word == "PLUD") && (tag == 'Q' || tag == 'N' || tag == 'P'))
        value = rereadNumber(value, tag == 'Q' ? 3 : 2);
    return std::string(1, tag) + value;
}

std::string normaliseTextPart(std::string_view part, int width)
{
    std::string text(part.substr(part.find(':')));
    replaceAll(text, "TOTALE", "TOT.  ");
    replaceAll(text, "totale", "tot.  ");
    text = upperCase1252(text);
    replaceAll(text, "TOTALE", "TOT.  ");
    text = foldCommandText(text);
    if (text.size() > std::size_t(width) + 1)
        text.resize(std::size_t(width) + 1);
    if (text == ":")
        text = ": ";
    return text;
}

} // namespace

std::string upperCase1252(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 224 && u <= 254 && u != 247))
            c = static_cast<char>(u - 32);
    }
    return out;
}

std::string foldCommandText(std::string_view text)
{
    static const FoldMap map = buildMap(kCommandRows);
    return fold(text, map, true);
}

std::string foldPrintText(std::string_view text)
{
    static const FoldMap map = buildMap(kPrintRows);
    return fold(text, map, false);
}

std::string parseRequestLine(std::string_view line, int width)
{
    if (line.empty())
        return {};
    if (width < 0)
        width = 0;
    std::vector<std::string> out;
    std::size_t start = 0;
    bool first = true;
    std::string word;
    while (start <= line.size()) {
        std::size_t end = line.find(',', start);
        if (end == std::string_view::npos)
            end = line.size();
        const std::string_view part = line.substr(start, end - start);
        start = end + 1;
        if (first) {
            first = false;
            word = upperCase1252(part.substr(0, 4));
            out.push_back(word);
            continue;
        }
        if (part.empty())
            continue;
        if (part.find(':') != std::string_view::npos) {
            out.push_back(normaliseTextPart(part, width));
            continue;
        }
        const std::string trimmed = upperCase1252(Trim(part, " "));
        if (!trimmed.empty())
            out.push_back(normaliseValuePart(word, trimmed));
    }
    std::string result;
    for (const std::string& part : out) {
        if (part.empty())
            continue;
        if (!result.empty())
            result += ',';
        result += part;
    }
    if (result.find(';') == std::string::npos)
        result += ';';
    return result;
}

std::string normalizeTextLine(std::string_view line, int width)
{
    const std::size_t textTag = line.find(",:");
    if (line.size() <= 6 || textTag == std::string_view::npos)
        return std::string(line);
    if (width < 0)
        width = 0;
    std::string out(line);
    const std::size_t keep = textTag + 2 + std::size_t(width);
    if (out.size() > keep)
        out.resize(keep);
    if (!out.empty() && out.back() == ';' && out.size() < 8)
        out.insert(out.size() - 1, " ");
    out = foldPrintText(out);
    if (out.empty() || out.back() != ';')
        out += ';';
    return out;
}

std::string normalizeInvoicePrintLine(std::string_view line, int width)
{
    const std::size_t textTag = line.find(",:");
    if (textTag == std::string_view::npos)
        return parseRequestLine(line, width);
    std::size_t attribute = std::string_view::npos;
    for (std::size_t at = line.find(',', textTag + 2); at != std::string_view::npos; at = line.find(',', at + 1))
        if (at + 1 < line.size() && (line[at + 1] == 'H' || line[at + 1] == 'h')) {
            attribute = at;
            break;
        }
    std::string_view text = line.substr(textTag + 1, attribute == std::string_view::npos ? std::string_view::npos
                                                                                         : attribute - textTag - 1);
    if (attribute == std::string_view::npos && !text.empty() && text.back() == ';')
        text.remove_suffix(1);
    // What stands before and after the text is normalised as it would be on
    // its own: the command word, and the ",H" tag with anything after it.
    std::string head = parseRequestLine(std::string(line.substr(0, textTag)) + ";", width);
    head.pop_back();
    std::string tail = attribute == std::string_view::npos
                           ? std::string(";")
                           : parseRequestLine("PRNT" + std::string(line.substr(attribute)), width).substr(4);
    return head + "," + normaliseTextPart(text, width) + tail;
}

std::string maskHighChars(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) >= 129)
            c = '.';
    return out;
}

std::string preparePrintLine(std::string_view line, int width)
{
    return maskHighChars(normalizeTextLine(line, width));
}

std::string normalizeRequestLine(std::string_view line)
{
    if (startsWithWord(line, "READ"))
        return std::string(line);
    if (startsWithWord(line, "DISP"))
        return parseRequestLine(line, kDisplayTextWidth);
    if (startsWithWord(line, "PRNT,"))
        return preparePrintLine(line, kPrintTextWidth);
    return parseRequestLine(line, kOrdinaryTextWidth);
}

} // namespace tavor1
