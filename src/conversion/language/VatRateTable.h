#pragma once

#include <array>
#include <string>

namespace tavor1 {

// The register's five VAT rates, in hundredths of a percent, behind the VAT
// letters "A" to "E". The first four are the shop's and are kept in
// TVVALIVA.txt beside the option files; the fifth is always 0 (exempt).
class VatRateTable {
public:
    static constexpr int kSize = 5;
    static constexpr int kStoredRates = 4;
    static constexpr const char* kFileName = "TVVALIVA.txt";
    static constexpr std::array<int, kSize> kDefaults{400, 1000, 2200, 3600, 0};

    struct VatCode {
        std::string letter; // "A".."E"; empty when the rate is not in the table
        int index = -1;     // 0..4; -1 when the rate is not in the table
    };

    int rate(int index) const { return index >= 0 && index < kSize ? m_rates[index] : 0; }
    // Only indexes 0..3 can be set; the exempt rate stays 0.
    void setRate(int index, int hundredths);
    const std::array<int, kSize>& rates() const { return m_rates; }

    // Defaults first; then up to four rates from `directory`/TVVALIVA.txt.
    // Items that are not whole numbers are skipped; a missing or unreadable
    // file leaves the defaults. False only when the file exists but could not
    // be read: saving the defaults over it would lose the shop's rates.
    bool loadVatRates(const std::string& directory);
    // Writes the rates 0..3, one a line, replacing the file. False when the
    // file cannot be written.
    bool saveVatRates(const std::string& directory) const;

    // The first entry (from index 0) holding `hundredths`.
    VatCode vatCodeFromRate(int hundredths) const;

private:
    std::array<int, kSize> m_rates = kDefaults;
};

} // namespace tavor1
