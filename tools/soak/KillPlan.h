#pragma once

// Where the crash soak kills the driver. A kill point is a step of the job
// that the simulators can see (a command the register receives, the payment
// request, the driver closing its connection), so that a kill lands on the
// same step every time a seed is replayed.

#include "soak/SoakRequest.h"

#include <random>
#include <string>
#include <string_view>

namespace tavor1::soak {

enum class KillPoint {
    BeforePayment, // card sale: the job's state request, before the payment service is called
    DuringPayment, // card sale: the payment request, while the terminal has not answered yet
    AfterApproval, // card sale: the first register command after the payment request
    MidDocument, // the n-th command inside the open document, before its closing
    AtClosing, // the document's closing command: carried out, its reply never read
    AfterClosing, // the first command after the closing (SR_OUT not written yet)
    AtEndOfJob, // the end-of-job command: SR_OUT written, FINESCO not
    MidSlip, // card sale: the n-th command of the payment slip
    AfterDisconnect, // the driver has closed its connection, about to answer
};
inline constexpr int kKillPointCount = 9;

std::string_view killPointName(KillPoint point);
// Points that only a request with a card payment reaches.
bool needsPayment(KillPoint point);

struct KillPlan {
    KillPoint point = KillPoint::MidDocument;
    // MidDocument, MidSlip: the command it hits, from 1.
    int nth = 1;
    // SIGTERM instead of SIGKILL: the driver runs its closing sequence.
    bool gentle = false;
    // The restarted driver is killed again on its first register command,
    // before it has settled anything.
    bool againOnRestart = false;

    // "mid-document#2", "at-closing term", "during-payment +again" ...
    std::string describe() const;
};

KillPlan pickKill(std::mt19937_64& random, DocumentShape shape);

// One command as the register received it, before carrying it out.
struct RegisterFrame {
    std::string command;
    // The sale's own document (its receipt, or its non-fiscal document) was
    // open on the register when the command came; a payment slip is not it.
    bool documentOpen = false;
};

// Follows one go signal's job through what the simulators see and says when
// the planned kill point is reached. Fires at most once.
class KillTrigger {
public:
    KillTrigger() = default;
    KillTrigger(KillPlan plan, DocumentShape shape);

    // Each returns true when the driver is to be killed now.
    bool onRegisterFrame(const RegisterFrame& frame);
    bool onPaymentRequest();
    bool onDisconnect();

    bool fired() const { return m_fired; }
    // Where it fired: "command 12 \"3011\"" or "payment request".
    const std::string& firedAt() const { return m_firedAt; }

private:
    bool fire(std::string at);
    bool isClosing(const RegisterFrame& frame) const;

    KillPlan m_plan;
    DocumentShape m_shape = DocumentShape::Receipt;
    bool m_armed = false;
    bool m_fired = false;
    std::string m_firedAt;
    int m_frames = 0;
    bool m_paymentAsked = false;
    bool m_closed = false;
    bool m_endOfJob = false;
    int m_inDocument = 0;
    int m_inSlip = 0;
};

} // namespace tavor1::soak
