#pragma once

#include "exchange/JobResult.h"

#include <cstdint>
#include <functional>

namespace tavor1 {

// What a poll needs from the rest of the driver: the channel scan, the job
// and its reporting, and the register identification. The job cycle owns the
// timing and the re-entry rules; these steps own the files and the register.
class PollSteps {
public:
    virtual ~PollSteps() = default;

    // Settles a job that a crash interrupted before the last start, when the
    // register answers. Runs after the channel scan (whose identifications
    // it profits from); false while one still waits: the poll then takes no
    // job.
    virtual bool settleInterruptedJobs() { return true; }
    // The channel scan: the channel whose job runs now (1..4), or 0. Calls
    // startIdentification(n) for an enabled channel that has no SR_MATR yet.
    virtual int scanChannels(const std::function<void(int channel)>& startIdentification) = 0;
    // True when the channel's request SR_DATI is there and the job's paths
    // are taken; otherwise answers E506 in SR_ERR and consumes the go signal.
    virtual bool takeJob(int channel) = 0;
    // executeJob: the whole job on the register; returns the job result.
    virtual JobResult runJob() = 0;
    // Closes the connection and answers the host (SR_ERR, or FINESCO).
    // abandoned: the program is closing under the job; its files stay.
    virtual void finishJob(JobResult result, bool abandoned) = 0;
    // The register identification of the channel: writes SR_MATR on success
    // or SR_ERR on failure; returns its code, 0 on success.
    virtual std::int16_t identify(int channel) = 0;
    // Something waits for the next poll whatever happens in the directory:
    // an answer not yet written, a go signal not yet deleted, a lock to take
    // again. The poll timer then runs in the Fast mode too, since a data
    // directory that refuses a write sends no change notice when it
    // accepts writes again. Also while a cancel of a document a failed job
    // left open is owed: the register sends no notice when it is back.
    virtual bool awaitingRetry() const { return false; }
};

} // namespace tavor1
