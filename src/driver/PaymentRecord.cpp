#include "driver/PaymentRecord.h"

#include "payment/POSData.h"
#include "payment/SrOutFile.h"

namespace tavor1 {

std::string srOutWithPaymentBlock(const std::string& srOut, const POSData& pos)
{
    std::string out = srOut;
    if (!hasPaymentBlock(out))
        appendPaymentBlock(out, pos);
    return out;
}

namespace {

// The members of POSData in the journal's field order.
constexpr std::string POSData::*kPosMembers[] = {&POSData::Comando,
                                                 &POSData::Importo,
                                                 &POSData::Esito,
                                                 &POSData::DataOperazione,
                                                 &POSData::DescrErr,
                                                 &POSData::DescrErrAggi,
                                                 &POSData::TerminalId,
                                                 &POSData::AcquirerId,
                                                 &POSData::TransactionType,
                                                 &POSData::TransactionResult,
                                                 &POSData::KODescription,
                                                 &POSData::CardType,
                                                 &POSData::STAN,
                                                 &POSData::PAN,
                                                 &POSData::AuthorizationCode,
                                                 &POSData::OperationNumber,
                                                 &POSData::DataTrs};
static_assert(std::size(kPosMembers) == kPosFieldNames.size());

} // namespace

PosFields posFields(const POSData& pos)
{
    PosFields fields{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = pos.*kPosMembers[i];
    return fields;
}

POSData posDataOf(const PosFields& fields)
{
    POSData pos;
    for (std::size_t i = 0; i < fields.size(); ++i)
        pos.*kPosMembers[i] = fields[i];
    return pos;
}

} // namespace tavor1
