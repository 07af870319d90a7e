#include "conversion/language/VatRateTable.h"

#include "platform/ByteFiles.h"
#include "platform/NumberText.h"

#include <string_view>

namespace tavor1 {

namespace {

// A stored rate: a whole number of hundredths, blanks anywhere and one pair
// of surrounding double quotes tolerated.
bool readRate(std::string_view item, int& rate)
{
    std::string text;
    for (const char c : item)
        if (c != ' ' && c != '\t')
            text += c;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    // Nine digits always fit an int.
    if (text.size() > 9 || !IsDigits(text))
        return false;
    rate = static_cast<int>(*readInteger(text));
    return true;
}

} // namespace

void VatRateTable::setRate(int index, int hundredths)
{
    if (index >= 0 && index < kStoredRates)
        m_rates[index] = hundredths;
}

bool VatRateTable::loadVatRates(const std::string& directory)
{
    m_rates = kDefaults;
    const std::string path = joinPath(directory, kFileName);
    if (!fileExists(path))
        return true;
    const auto content = readFileBytes(path);
    if (!content)
        return false;
    int stored = 0;
    std::size_t start = 0;
    const std::string_view text(*content);
    while (stored < kStoredRates && start <= text.size()) {
        std::size_t end = text.find_first_of(",\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        int rate = 0;
        if (readRate(text.substr(start, end - start), rate))
            m_rates[stored++] = rate;
        start = end + 1;
    }
    return true;
}

bool VatRateTable::saveVatRates(const std::string& directory) const
{
    std::string text;
    for (int i = 0; i < kStoredRates; ++i)
        text += std::to_string(m_rates[i]) + "\r\n";
    return writeFileBytes(joinPath(directory, kFileName), text);
}

VatRateTable::VatCode VatRateTable::vatCodeFromRate(int hundredths) const
{
    for (int i = 0; i < kSize; ++i)
        if (m_rates[i] == hundredths)
            return VatCode{std::string(1, char('A' + i)), i};
    return {};
}

} // namespace tavor1
