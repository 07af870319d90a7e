#pragma once

#include "exchange/JobResult.h"
#include "payment/PaymentResult.h"
#include "transmission/JobOutcome.h"

#include <cstdint>
#include <string>

namespace tavor1 {

class RegisterExchange;

// What one job needs from the layers below: the trace, the connection, the
// register exchange, the card payment, the transmission and the outcome slip.
class JobServices {
public:
    virtual ~JobServices() = default;

    virtual bool tracingOn() const = 0;
    virtual void openTrace() = 0;
    virtual void closeTrace() = 0;
    virtual bool traceOpen() const = 0;
    virtual void traceLine(const std::string& text) = 0;

    // maxPolls counts 100 ms polls, as the selected connection time-out.
    virtual bool connectAndWait(int maxPolls) = 0;
    virtual bool connectionLost() const = 0;
    virtual RegisterExchange& exchange() = 0;

    virtual bool fileExists(const std::string& path) const = 0;

    // The card payment of a request whose first line is "PAGA": Ok when none
    // was asked for or it was approved.
    virtual PaymentResult requestCardPayment(const std::string& requestPath) = 0;
    // The last requestCardPayment took an approved card payment.
    virtual bool paymentApproved() const = 0;
    // An approved payment whose document then failed: the payment's reply log
    // and the SR_OUT payment block are written, so the host and the operator
    // find the approval and do not charge the customer again.
    virtual void keepApprovedPayment(const std::string& outPath) = 0;

    virtual SendResult sendRequest(const std::string& requestPath) = 0;
    // The job result of a SendResult. For a lost connection the transmission
    // tells whether the document was completed after all.
    virtual JobResult jobResultFor(SendResult sendResult) = 0;

    virtual std::int16_t printPaymentSlip() = 0;

    // The register reported an open document before the job: true when the
    // driver had left it open after a failure and has now cancelled it.
    virtual bool cancelDocumentLeftOpen() { return false; }
    // The register reported no open document before the job: one the driver
    // had left open is gone (the operator cleared it), and must never be
    // mistaken for the next document someone opens at the register.
    virtual void registerHasNoOpenDocument() { }
};

} // namespace tavor1
