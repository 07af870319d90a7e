#include "soak/SoakRequest.h"

#include <cstdio>

namespace tavor1::soak {

namespace {

constexpr std::string_view kMarkerPrefix = "SOAK ";
constexpr std::size_t kMarkerDigits = 6;

} // namespace

std::string jobMarker(int job)
{
    char text[32];
    std::snprintf(text, sizeof text, "SOAK %06d", job % 1000000);
    return text;
}

int markerJob(std::string_view text)
{
    const std::size_t at = text.find(kMarkerPrefix);
    if (at == std::string_view::npos || text.size() < at + kMarkerPrefix.size() + kMarkerDigits)
        return 0;
    int job = 0;
    for (std::size_t i = 0; i < kMarkerDigits; ++i) {
        const char c = text[at + kMarkerPrefix.size() + i];
        if (c < '0' || c > '9')
            return 0;
        job = job * 10 + (c - '0');
    }
    return job;
}

SoakRequest makeRequest(int job, std::mt19937_64& random)
{
    const int shape = std::uniform_int_distribution<int>(0, 9)(random);
    if (shape < 9)
        return makeSale(job, random, shape >= 6);
    SoakRequest r;
    r.marker = jobMarker(job);
    r.shape = DocumentShape::NonFiscal;
    r.bytes = "OPNF\r\nPRNT,:" + r.marker + "\r\nPRNT,:RIGA DI CORTESIA\r\nCLNF\r\n";
    return r;
}

SoakRequest makeSale(int job, std::mt19937_64& random, bool byCard)
{
    auto between = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    SoakRequest r;
    r.marker = jobMarker(job);
    r.shape = byCard ? DocumentShape::CardReceipt : DocumentShape::Receipt;
    const int price = between(1, 5000);
    const int quantity = between(1, 3);
    const bool second = between(0, 1) == 1;
    const int secondPrice = between(1, 900);
    const int total = price * quantity + (second ? secondPrice : 0);
    std::string lines;
    lines += "PLUD,N1,P" + std::to_string(price);
    if (quantity > 1)
        lines += ",Q" + std::to_string(quantity);
    lines += ",:" + r.marker + "\r\n";
    if (second)
        lines += "SALE,N2,P" + std::to_string(secondPrice) + "\r\n";
    if (r.shape == DocumentShape::CardReceipt) {
        r.bytes = "PAGA,V" + std::to_string(total) + ",P0\r\n" + lines + "CARD,V" + std::to_string(total) + "\r\n";
    } else {
        // Now and then more cash than due, so that change is given.
        const int paid = between(0, 2) == 0 ? total + between(1, 2000) : total;
        r.bytes = lines + "CASH,V" + std::to_string(paid) + "\r\n";
    }
    return r;
}

} // namespace tavor1::soak
