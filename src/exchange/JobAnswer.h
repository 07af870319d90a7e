#pragma once

#include "platform/ByteFiles.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tavor1 {

class ExchangeFiles;

// What the host is told at the end of one job, and how far the telling got.
//
// The files go in the order the host relies on: SR_OUT before FINESCO or
// SR_ERR, and SR_ERR before the go signal goes. A step that fails for a
// moment (a data directory read-only, a full disk) leaves the answer pending,
// and the next attempt resumes at that step: a step already done is never
// done again, because a host that has read FINESCO may already have written
// its next request.
struct JobAnswer {
    int channel = 0;
    // FINESCO; else the SR_ERR line.
    bool success = false;
    // The SR_ERR line of a failure, without its line end.
    std::string errorLine;
    // SR_OUT as the job left it, when the job itself could not write it.
    std::optional<std::string> output;
    // The job's number in the journal (0: none), so that a late delivery is
    // recorded as its answer.
    std::uint64_t journalJob = 0;

    // The first step not yet done (an index into the answer's own steps).
    int nextStep = 0;
    // Attempts so far.
    int attempts = 0;
};

enum class AnswerProgress : std::int16_t {
    Delivered, // every file of the answer is in place
    Pending // a file could not be written, or SR_ERR could not be removed: try again later
};

// Carries the answer as far as it goes now. A go signal that cannot be
// deleted does not hold the answer back: its identity goes to stuckGoSignal,
// so that the scan never serves it again. The first failure and a late
// delivery are written to LOGFILE.TXT.
AnswerProgress deliverJobAnswer(const ExchangeFiles& files, JobAnswer& answer,
                                std::optional<FileIdentity>& stuckGoSignal);

} // namespace tavor1
