#include "driver/PaymentRecord.h"

#include "payment/SrOutFile.h"

namespace tavor1 {

std::string srOutWithPaymentBlock(const std::string& srOut, const POSData& pos)
{
    std::string out = srOut;
    if (!HasPaymentBlock(out))
        AppendPaymentBlock(out, pos);
    return out;
}

} // namespace tavor1
