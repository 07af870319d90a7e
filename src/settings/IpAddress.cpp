#include "settings/IpAddress.h"

namespace tavor1 {

namespace {

bool isOctet(std::string_view part)
{
    if (part.empty() || part.size() > 3)
        return false;
    int value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

} // namespace

bool validateIpAddress(std::string_view address)
{
    int parts = 0;
    for (;;) {
        const std::size_t dot = address.find('.');
        if (!isOctet(address.substr(0, dot)))
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            return parts == 4;
        if (parts == 4)
            return false;
        address.remove_prefix(dot + 1);
    }
}

} // namespace tavor1
