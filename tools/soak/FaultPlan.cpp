#include "soak/FaultPlan.h"

#include "simulators/register/FaultModes.h"

#include <algorithm>

namespace tavor1::soak {

namespace {

// Register refusals worth provoking: the ones that stop the document, the
// warnings that let it go on, paper end given as a code, and the register's
// own error with its text.
constexpr std::array kErrorCodes = {
    regsim::err::UnknownCommand,   regsim::err::NotNow,       regsim::err::PrintBufferFull,
    regsim::err::PaperEnd,         regsim::err::NoAnswer,     regsim::err::ReceiptOpen,
    regsim::err::NegativeTotal,    regsim::err::NegativeVat,  regsim::err::JournalExhausted,
    regsim::err::JournalNearlyFull, regsim::err::CoverOpen,   regsim::err::FiscalMemoryFull,
    regsim::err::NonFiscalOpen,    regsim::err::OwnError,
};

constexpr std::array kPaymentErrors = {
    paysim::Outcome::ErrorMessage, paysim::Outcome::Exception, paysim::Outcome::Garbage,
    paysim::Outcome::Close,        paysim::Outcome::Empty,
};

// Relative weights of the kinds without and with a card payment line.
constexpr std::array<int, kFaultKindCount> kWeights = {20, 12, 16, 6, 8, 12, 0, 0, 10};
constexpr std::array<int, kFaultKindCount> kWeightsWithPayment = {14, 10, 12, 4, 6, 8, 18, 18, 10};

std::string_view outcomeName(paysim::Outcome outcome)
{
    switch (outcome) {
    case paysim::Outcome::Approved: return "approved";
    case paysim::Outcome::Declined: return "declined";
    case paysim::Outcome::ErrorMessage: return "error-message";
    case paysim::Outcome::Exception: return "exception";
    case paysim::Outcome::Garbage: return "garbage";
    case paysim::Outcome::Slow: return "slow";
    case paysim::Outcome::Close: return "close";
    case paysim::Outcome::Empty: return "empty";
    case paysim::Outcome::Huge: return "huge";
    case paysim::Outcome::RedirectLoop: return "redirect-loop";
    case paysim::Outcome::Silent: return "silent";
    }
    return "?";
}

} // namespace

std::string_view faultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::None: return "none";
    case FaultKind::Drop: return "drop";
    case FaultKind::ErrorCode: return "err";
    case FaultKind::PaperEnd: return "paper-end";
    case FaultKind::Nak: return "nak";
    case FaultKind::SlowReply: return "slow";
    case FaultKind::PaymentDeclined: return "pay-declined";
    case FaultKind::PaymentError: return "pay-error";
    case FaultKind::DeleteRequest: return "delete-request";
    }
    return "?";
}

std::string PlannedFault::describe() const
{
    const std::string at = "@" + std::to_string(frame);
    switch (kind) {
    case FaultKind::None: return "none";
    case FaultKind::Drop: return (afterDoing ? "drop-after-doing" : "drop") + at;
    case FaultKind::ErrorCode: return "err " + code + at;
    case FaultKind::PaperEnd: return "paper-end x" + std::to_string(polls);
    case FaultKind::Nak: return "nak" + at;
    case FaultKind::SlowReply:
        if (frame > 0)
            return "slow frame " + std::to_string(frame) + " +" + std::to_string(lateFrameDelayMs) + "ms";
        return "slow +" + std::to_string(latencyMs) + "ms each";
    case FaultKind::PaymentDeclined:
    case FaultKind::PaymentError: return std::string(faultKindName(kind)) + " " + std::string(outcomeName(payment));
    case FaultKind::DeleteRequest: return "delete-request" + at;
    }
    return "?";
}

FaultPicker::FaultPicker(std::mt19937_64& random, ReplyLimits limits) : m_random(random), m_limits(limits) {}

int FaultPicker::between(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

PlannedFault FaultPicker::pick(bool withPayment, int framesOfJob)
{
    const auto& weights = withPayment ? kWeightsWithPayment : kWeights;
    std::discrete_distribution<int> kinds(weights.begin(), weights.end());
    PlannedFault f;
    f.kind = static_cast<FaultKind>(kinds(m_random));
    const int lastFrame = std::max(1, framesOfJob);
    switch (f.kind) {
    case FaultKind::None: break;
    case FaultKind::Drop:
        f.frame = between(1, lastFrame);
        f.afterDoing = between(0, 1) == 1;
        break;
    case FaultKind::Nak: f.frame = between(1, lastFrame); break;
    case FaultKind::ErrorCode:
        f.frame = between(1, lastFrame);
        f.code = kErrorCodes[static_cast<std::size_t>(between(0, int(kErrorCodes.size()) - 1))];
        break;
    case FaultKind::PaperEnd: f.polls = between(1, 2); break;
    case FaultKind::SlowReply:
        if (between(0, 1) == 0) {
            f.latencyMs = between(5, 40);
        } else {
            // Half of the late frames come after the driver has given up.
            f.frame = between(1, lastFrame);
            f.lateFrameDelayMs = between(50, 2 * m_limits.secondWaitMs);
        }
        break;
    case FaultKind::PaymentDeclined: f.payment = paysim::Outcome::Declined; break;
    case FaultKind::PaymentError:
        f.payment = kPaymentErrors[static_cast<std::size_t>(between(0, int(kPaymentErrors.size()) - 1))];
        break;
    case FaultKind::DeleteRequest: f.frame = between(1, std::min(lastFrame, 6)); break;
    }
    return f;
}

bool faultReached(const PlannedFault& fault, int framesSeen)
{
    return fault.frame == 0 || framesSeen >= fault.frame;
}

Expectation expectedOutcome(const PlannedFault& fault, int framesSeen, ReplyLimits limits)
{
    switch (fault.kind) {
    case FaultKind::None:
    case FaultKind::PaperEnd:
        return Expectation::Success;
    case FaultKind::PaymentDeclined:
    case FaultKind::PaymentError:
        return Expectation::Failure;
    case FaultKind::SlowReply:
        if (fault.frame == 0)
            return fault.latencyMs < limits.replyMs ? Expectation::Success : Expectation::Either;
        if (!faultReached(fault, framesSeen))
            return Expectation::Success;
        return fault.lateFrameDelayMs < limits.secondWaitMs / 2 ? Expectation::Success : Expectation::Either;
    case FaultKind::Drop:
    case FaultKind::ErrorCode:
    case FaultKind::Nak:
    case FaultKind::DeleteRequest:
        return faultReached(fault, framesSeen) ? Expectation::Either : Expectation::Success;
    }
    return Expectation::Either;
}

} // namespace tavor1::soak
