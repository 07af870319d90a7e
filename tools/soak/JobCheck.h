#pragma once

// The invariants every soak job must keep, judged on what the host and the
// register show once the job has ended.

#include "soak/FaultPlan.h"
#include "soak/RollAudit.h"

#include <string>
#include <vector>

namespace tavor1::soak {

// What the host's folder and the register show at the end of one job.
struct JobObservation {
    // The job ended (go signal gone, an answer there) within its time limit.
    bool ended = false;
    bool finesco = false;
    std::string finescoBytes;
    bool srErr = false;
    std::string srErrBytes;
    bool srStart = false;
    std::string srOutBytes;
    bool srDati = false;
    // The host deleted SR_DATI itself during the job.
    bool requestDeletedByHost = false;
    MarkerCount marker;
    // Jobs whose marker is on the roll more than once, this job's or others.
    std::vector<int> duplicatedJobs;
    bool driverAlive = true;
    Expectation expectation = Expectation::Either;
};

// Every broken invariant as one line; empty when the job kept them all.
std::vector<std::string> checkJob(const JobObservation& o);

} // namespace tavor1::soak
