#pragma once

// The faults the soak injects, one per job, and what each allows the job to
// end with.

#include "simulators/payment/PaySimOutcome.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace tavor1::soak {

enum class FaultKind {
    None,            // a clean job
    Drop,            // the register drops the connection on the job's n-th frame, before or after carrying it out
    ErrorCode,       // the register answers "ERR" + code to the job's n-th frame
    PaperEnd,        // the paper is out for a number of status polls
    Nak,             // the register answers a lone NAK to the job's n-th frame
    SlowReply,       // replies come late: all of them a little, or one a lot
    PaymentDeclined, // the payment terminal refuses the card
    PaymentError,    // the payment service fails (error reply, broken body, closed)
    DeleteRequest,   // the host deletes SR_DATI when the job's n-th frame arrives
};
inline constexpr std::size_t kFaultKindCount = 9;

std::string_view faultKindName(FaultKind kind);

// What the job may end with.
enum class Expectation {
    Success, // FINESCO
    Failure, // SR_ERR
    Either,  // depends on where the fault hit
};

struct PlannedFault {
    FaultKind kind = FaultKind::None;
    // Drop, ErrorCode, Nak, DeleteRequest, SlowReply with a late frame: the
    // job's frame it hits, from 1 (the first frame is the status request).
    int frame = 0;
    // Drop: the register carries the frame out before it drops the connection.
    bool afterDoing = false;
    // ErrorCode: the register's two-character code.
    std::string code;
    // PaperEnd: status polls that still find the paper out.
    int polls = 0;
    // SlowReply: the extra delay of every reply, or of the one late frame.
    int latencyMs = 0;
    int lateFrameDelayMs = 0;
    // PaymentDeclined, PaymentError: what the payment service answers.
    paysim::Outcome payment = paysim::Outcome::Approved;

    // "drop@5", "err 37@12", "paper x2", "slow frame 7 +2400ms" ...
    std::string describe() const;
};

// The register's reply limits the driver is started with; a late frame beyond
// them is given up by the driver although the register carried it out.
struct ReplyLimits {
    int replyMs = 1500;
    int secondWaitMs = 1500;
};

// Picks one fault per job from the soak's random stream, so that a seed
// replays the same plan. Payment faults need a request with a card payment.
class FaultPicker {
public:
    FaultPicker(std::mt19937_64& random, ReplyLimits limits);

    // framesOfJob: how many frames a clean job of this kind takes, so that
    // frame faults land inside the job.
    PlannedFault pick(bool withPayment, int framesOfJob);

private:
    int between(int low, int high);

    std::mt19937_64& m_random;
    ReplyLimits m_limits;
};

// The outcome a job may have given its fault. framesSeen: frames the register
// received during the job, which tells whether a frame fault was reached.
Expectation expectedOutcome(const PlannedFault& fault, int framesSeen, ReplyLimits limits);

// Frame faults that the job's frames never reached leave a clean job.
bool faultReached(const PlannedFault& fault, int framesSeen);

} // namespace tavor1::soak
