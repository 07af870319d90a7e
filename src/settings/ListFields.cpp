#include "settings/ListFields.h"

#include "platform/NumberText.h"

namespace tavor1 {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Moves past one field delimiter: a comma, or CR LF / CR / LF.
void skipDelimiter(std::string_view bytes, std::size_t& i)
{
    if (i >= bytes.size())
        return;
    if (bytes[i] == ',') {
        ++i;
        return;
    }
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        ++i;
    ++i;
}

} // namespace

std::vector<std::string> readListFields(std::string_view bytes)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < bytes.size()) {
        while (i < bytes.size() && isBlank(bytes[i]))
            ++i;
        std::string field;
        if (i < bytes.size() && bytes[i] == '"') {
            const std::size_t start = ++i;
            while (i < bytes.size() && bytes[i] != '"' && !isLineEnd(bytes[i]))
                ++i;
            field.assign(bytes.substr(start, i - start));
            if (i < bytes.size() && bytes[i] == '"')
                ++i;
            // Whatever follows the closing quote up to the delimiter is dropped.
            while (i < bytes.size() && bytes[i] != ',' && !isLineEnd(bytes[i]))
                ++i;
        } else {
            const std::size_t start = i;
            while (i < bytes.size() && bytes[i] != ',' && !isLineEnd(bytes[i]))
                ++i;
            field = Trim(bytes.substr(start, i - start));
        }
        fields.push_back(std::move(field));
        skipDelimiter(bytes, i);
    }
    return fields;
}

bool parseDecimalNumber(std::string_view text, double& value)
{
    const std::string trimmed = Trim(text);
    text = trimmed;
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    double result = 0;
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        result = result * 10 + (text[i++] - '0');
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            result += (text[i++] - '0') * scale;
            scale /= 10;
            digits = true;
        }
    }
    if (!digits || i != text.size())
        return false;
    value = negative ? -result : result;
    return true;
}

} // namespace tavor1
