#pragma once

#include "exchange/CancelRequest.h"

#include <cstdint>
#include <string>

namespace tavor1 {

// "Annullla Doc" without a driver: connects to the register itself, sends the
// button's sequence and closes. The connection wait is a job's, with the
// selected "T.Out Conn." entry. Needs a Qt application object.
CancelReply cancelDirectly(const std::string& address, std::uint16_t port, int connectionTimeoutSeconds);

} // namespace tavor1
