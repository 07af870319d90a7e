#include "conversion/language/RequestLanguage.h"

#include <limits>

namespace tavor1 {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

std::size_t findIgnoringCase(std::string_view text, std::string_view what, std::size_t from = 0)
{
    if (what.empty() || what.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = from; i + what.size() <= text.size(); ++i)
        if (lowerAscii(text[i]) == lowerAscii(what[0]) && equalsIgnoringCase(text.substr(i, what.size()), what))
            return i;
    return std::string_view::npos;
}

// Where the value of a found tag begins.
std::size_t valueStart(std::string_view tag, std::size_t tagPosition)
{
    if (equalsIgnoringCase(tag, ",S") || equalsIgnoringCase(tag, ",R"))
        return tagPosition + 1;
    const std::string_view word = tag.substr(0, 4);
    if (equalsIgnoringCase(word, "DISP") || equalsIgnoringCase(word, "PRNT") || equalsIgnoringCase(word, "CLER"))
        return 6; // right after "PRNT,:" and the like
    if (tag == ".")
        return 0;
    return tagPosition + 2;
}

} // namespace

bool getParam(bool atStart, std::string_view line, std::string_view tag, std::string& value, bool invoiceTextMode)
{
    std::size_t position;
    if (atStart)
        position = tag.size() <= 5 && startsWithWord(line, tag) ? 0 : std::string_view::npos;
    else
        position = findIgnoringCase(line, tag);
    if (position == std::string_view::npos)
        return false;

    value.clear();
    if (invoiceTextMode && tag == ",:" && startsWithWord(line, "PRNT,")) {
        const std::size_t start = position + 2;
        const std::size_t attribute = findIgnoringCase(line, ",H", start);
        if (attribute != std::string_view::npos) {
            value = line.substr(start, attribute - start);
        } else {
            value = line.substr(start);
            if (!value.empty() && value.back() == ';')
                value.pop_back();
        }
        return true;
    }

    const std::size_t start = valueStart(tag, position);
    if (start >= line.size())
        return true;
    const std::size_t end = line.find_first_of(",;", start);
    value = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    return true;
}

std::optional<std::string> findParam(std::string_view line, std::string_view tag, bool invoiceTextMode)
{
    std::string value;
    if (!getParam(false, line, tag, value, invoiceTextMode))
        return std::nullopt;
    return value;
}

bool startsWithWord(std::string_view line, std::string_view word)
{
    return !word.empty() && line.size() >= word.size() && equalsIgnoringCase(line.substr(0, word.size()), word);
}

bool startsWithTender(std::string_view line, int n)
{
    const std::string prefix = "TEND,N" + std::to_string(n);
    if (!startsWithWord(line, prefix))
        return false;
    return line.size() == prefix.size() || line[prefix.size()] < '0' || line[prefix.size()] > '9';
}

bool isNumeric(std::string_view text)
{
    std::size_t i = 0;
    std::size_t end = text.size();
    while (i < end && text[i] == ' ')
        ++i;
    while (end > i && text[end - 1] == ' ')
        --end;
    if (i < end && (text[i] == '-' || text[i] == '+'))
        ++i;
    bool digit = false;
    bool separator = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if ((c == '.' || c == ',') && !separator)
            separator = true;
        else
            return false;
    }
    return digit;
}

std::vector<std::string> splitRequestLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(bytes.substr(start));
            break;
        }
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n')
            ++start;
    }
    return lines;
}

} // namespace tavor1
