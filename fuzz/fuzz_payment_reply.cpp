// The payment service's reply body: any bytes must load (or fail to load)
// without harm, and every expression the client uses must evaluate.
#include "FuzzSupport.h"
#include "payment/PaymentReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const expressions[] = {
        "/Error/ExceptionMessage",
        "/Error/Message",
        "/NativeMethods.POSData/TransactionResult",
        "/NativeMethods.POSData/TerminalId",
        "/NativeMethods.POSData/AcquirerId",
        "/NativeMethods.POSData/TransactionType",
        "/NativeMethods.POSData/KODescription",
        "/NativeMethods.POSData/CardType",
        "/NativeMethods.POSData/STAN",
        "/NativeMethods.POSData/PAN",
        "NativeMethods.POSData/AuthorizationCode",
        "/NativeMethods.POSData/OperationNumber",
        "/NativeMethods.POSData/DataTrs",
    };
    const tavor1::PaymentReply reply(tavor1::fuzz::asText(data, size));
    for (const char* xpath : expressions) {
        reply.selects(xpath);
        reply.text(xpath);
    }
    return 0;
}
