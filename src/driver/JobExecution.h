#pragma once

#include "exchange/JobResult.h"

#include <cstdint>
#include <string>

namespace tavor1 {

class JobServices;

// executeJob: one job on the register, from the connection to the outcome
// slip. Returns the job result.
JobResult executeJob(JobServices& services, int connectionTimeoutSeconds, const std::string& datiPath,
                     const std::string& outPath);

// True when a register status reply reports a state other than "00"
// (characters 5 and 6 of a reply of 6 characters or more).
bool registerStatusNotReady(const std::string& reply);

} // namespace tavor1
