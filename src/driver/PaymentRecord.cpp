#include "driver/PaymentRecord.h"

#include "payment/SrOutFile.h"
#include "platform/ByteFiles.h"

namespace tavor1 {

bool appendPaymentBlockToSrOut(const std::string& outPath, const POSData& pos)
{
    const std::string existing = readFileBytes(outPath).value_or(std::string());
    if (HasPaymentBlock(existing))
        return true;
    std::string block;
    AppendPaymentBlock(block, pos);
    return block.empty() || appendFileBytes(outPath, block);
}

} // namespace tavor1
