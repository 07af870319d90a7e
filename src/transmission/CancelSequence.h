#pragma once

// The register side of "Annullla Doc": clears the customer display and
// cancels whatever document the register holds open. Shared by the window's
// button, a cancel asked of a running driver, and `tavor1 cancel` when no
// driver runs.

#include "protocol/ExchangeResult.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavor1 {

class RegisterExchange;

// One command of the sequence and what the register said to it.
struct CancelStep {
    std::string command;
    ExchangeResult result = ExchangeResult::Accepted;
    std::string reply; // the reply's payload; empty when none came
};

// Sends the display clear, the cancellation line, "3011" and "3013" in this
// order, each whatever the previous one answered (an open receipt refuses
// some of them, a closed one others).
std::vector<CancelStep> runCancelSequence(RegisterExchange& exchange);

// One line per step for a technician: the command's message number, the
// result in words and the reply, CR LF after each line.
std::string cancelReport(const std::vector<CancelStep>& steps);

} // namespace tavor1
