#include "soak/KillPlan.h"

#include "protocol/Protocol.h"

#include <array>

namespace tavor1::soak {

namespace {

bool startsWith(const std::string& text, std::string_view prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// Relative weights of the points for a sale paid by card; the card points
// get no weight without a payment line.
constexpr std::array<int, kKillPointCount> kCardWeights = {8, 8, 10, 14, 12, 10, 10, 10, 8};

} // namespace

std::string_view killPointName(KillPoint point)
{
    switch (point) {
    case KillPoint::BeforePayment:
        return "before-payment";
    case KillPoint::DuringPayment:
        return "during-payment";
    case KillPoint::AfterApproval:
        return "after-approval";
    case KillPoint::MidDocument:
        return "mid-document";
    case KillPoint::AtClosing:
        return "at-closing";
    case KillPoint::AfterClosing:
        return "after-closing";
    case KillPoint::AtEndOfJob:
        return "at-end-of-job";
    case KillPoint::MidSlip:
        return "mid-slip";
    case KillPoint::AfterDisconnect:
        return "after-disconnect";
    }
    return "?";
}

bool needsPayment(KillPoint point)
{
    return point == KillPoint::BeforePayment || point == KillPoint::DuringPayment ||
           point == KillPoint::AfterApproval || point == KillPoint::MidSlip;
}

std::string KillPlan::describe() const
{
    std::string text(killPointName(point));
    if (point == KillPoint::MidDocument || point == KillPoint::MidSlip)
        text += "#" + std::to_string(nth);
    if (gentle)
        text += " term";
    if (againOnRestart)
        text += " +again";
    return text;
}

KillPlan pickKill(std::mt19937_64& random, DocumentShape shape)
{
    auto weights = kCardWeights;
    if (shape != DocumentShape::CardReceipt)
        for (int p = 0; p < kKillPointCount; ++p)
            if (needsPayment(static_cast<KillPoint>(p)))
                weights[static_cast<std::size_t>(p)] = 0;
    std::discrete_distribution<int> points(weights.begin(), weights.end());
    auto between = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    KillPlan plan;
    plan.point = static_cast<KillPoint>(points(random));
    // A receipt has at least its sale and its payment inside; the slip has
    // a dozen lines after its opening.
    if (plan.point == KillPoint::MidDocument)
        plan.nth = between(1, 2);
    if (plan.point == KillPoint::MidSlip)
        plan.nth = between(1, 12);
    plan.gentle = between(1, 5) == 1;
    plan.againOnRestart = between(1, 8) == 1;
    return plan;
}

KillTrigger::KillTrigger(KillPlan plan, DocumentShape shape)
    : m_plan(plan)
    , m_shape(shape)
    , m_armed(true)
{
}

bool KillTrigger::fire(std::string at)
{
    m_fired = true;
    m_firedAt = std::move(at);
    return true;
}

bool KillTrigger::isClosing(const RegisterFrame& frame) const
{
    if (!frame.documentOpen || m_endOfJob)
        return false;
    const std::string_view close = m_shape == DocumentShape::NonFiscal ? "4004" : protocol::msg::CloseReceipt;
    return startsWith(frame.command, close);
}

bool KillTrigger::onRegisterFrame(const RegisterFrame& frame)
{
    if (!m_armed || m_fired)
        return false;
    ++m_frames;
    const std::string at = "command " + std::to_string(m_frames) + " \"" + frame.command + "\"";
    const bool closing = isClosing(frame);
    const bool endOfJob = startsWith(frame.command, protocol::msg::EndOfJob);
    const bool afterClosing = m_closed;
    const bool inDocument = frame.documentOpen && !m_closed && !m_endOfJob;
    const bool inSlip = m_endOfJob;
    if (closing)
        m_closed = true;
    if (endOfJob)
        m_endOfJob = true;
    if (inDocument)
        ++m_inDocument;
    if (inSlip)
        ++m_inSlip;

    switch (m_plan.point) {
    case KillPoint::BeforePayment:
        return startsWith(frame.command, protocol::msg::RegisterState) && !m_paymentAsked ? fire(at) : false;
    case KillPoint::DuringPayment:
        return false;
    case KillPoint::AfterApproval:
        return m_paymentAsked ? fire(at) : false;
    case KillPoint::MidDocument:
        // A document shorter than planned is hit on its closing.
        return inDocument && (m_inDocument == m_plan.nth || closing) ? fire(at) : false;
    case KillPoint::AtClosing:
        return closing ? fire(at) : false;
    case KillPoint::AfterClosing:
        return afterClosing && !closing ? fire(at) : false;
    case KillPoint::AtEndOfJob:
        return endOfJob ? fire(at) : false;
    case KillPoint::MidSlip:
        return inSlip && m_inSlip == m_plan.nth ? fire(at) : false;
    case KillPoint::AfterDisconnect:
        return false;
    }
    return false;
}

bool KillTrigger::onPaymentRequest()
{
    if (!m_armed || m_fired)
        return false;
    m_paymentAsked = true;
    return m_plan.point == KillPoint::DuringPayment ? fire("payment request") : false;
}

bool KillTrigger::onDisconnect()
{
    if (!m_armed || m_fired)
        return false;
    return m_plan.point == KillPoint::AfterDisconnect && m_endOfJob ? fire("connection closed after the end of job")
                                                                    : false;
}

} // namespace tavor1::soak
