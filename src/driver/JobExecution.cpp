#include "driver/JobExecution.h"

#include "driver/JobServices.h"
#include "protocol/Protocol.h"
#include "link/RegisterExchange.h"

namespace tavor1 {

bool registerStatusNotReady(const std::string& reply)
{
    return reply.size() >= 6 && reply.compare(4, 2, "00") != 0;
}

JobResult executeJob(JobServices& s, int timeoutSeconds, const std::string& datiPath, const std::string& outPath)
{
    if (s.tracingOn())
        s.openTrace();
    auto closeTrace = [&s] {
        if (s.traceOpen())
            s.closeTrace();
    };

    if (!s.connectAndWait(timeoutSeconds)) {
        closeTrace();
        return JobResult::Network;
    }

    RegisterExchange& reg = s.exchange();
    ExchangeResult status = reg.transmitCommand(protocol::msg::RegisterState);
    // replyData keeps the payload of the last reply that arrived, which after
    // an unanswered request is the previous exchange's: the state is judged
    // only on a reply to this request.
    // A document an earlier job of the driver left open is cancelled and the
    // job goes on; one the driver did not leave is the operator's.
    const bool answered = status == ExchangeResult::Accepted;
    if (answered && registerStatusNotReady(reg.replyData()) && s.cancelDocumentLeftOpen())
        status = reg.transmitCommand(protocol::msg::RegisterState);
    const bool ready = status == ExchangeResult::Accepted;
    if (ready && reg.replyData().size() >= 6 && !registerStatusNotReady(reg.replyData()))
        s.registerHasNoOpenDocument();
    if (ready && registerStatusNotReady(reg.replyData())) {
        closeTrace();
        return JobResult::ReceiptOpen;
    }

    if (!s.fileExists(datiPath)) {
        closeTrace();
        return JobResult::RequestVanished;
    }

    JobResult result = JobResult::Ok;
    // The payment outcome slip follows a document that went through, and a
    // refused payment when the register answered its state.
    bool printSlip = false;
    const PaymentResult payment = s.requestCardPayment(datiPath);
    if (payment != PaymentResult::Ok) {
        // Nothing went to the register; the slip below reports the refusal.
        result = JobResultForPayment(payment);
        printSlip = status == ExchangeResult::Accepted;
    } else {
        SendResult code = s.sendRequest(datiPath);
        result = s.jobResultFor(code);
        if (code == SendResult::ConnectionLost && result == JobResult::Ok) {
            s.traceLine("Go_Execution: Error = " + codeText(code));
            code = SendResult::Complete;
        }
        if (s.traceOpen()) {
            s.traceLine("Go_Execution: Result = " + codeText(code));
            s.closeTrace();
        }
        reg.transmitCommand(protocol::msg::EndOfJob);
        printSlip = code == SendResult::Complete;
    }

    if (printSlip)
        s.printPaymentSlip();
    if (payment == PaymentResult::Ok && result != JobResult::Ok && s.paymentApproved())
        s.keepApprovedPayment(outPath);

    closeTrace();
    return result;
}

} // namespace tavor1
