#pragma once

// The headless "Annullla Doc": `tavor1 cancel` asks the driver that serves a
// data directory to cancel the register's open document between two jobs.
// The request is a small file in the data directory that the driver's poll
// picks up; the driver answers in a reply file beside it. Files rather than a
// signal, so that the same works wherever the driver runs.
//
//   tavor1.cancel        one line: the asker's token
//   tavor1.cancel.reply  the token, "inviato" or "non inviato", then the
//                        register's answers (or why nothing was sent), one a line
//
// Both are written beside themselves and renamed into place, so that neither
// side ever reads one half written.

#include <optional>
#include <string>

namespace tavor1 {

std::string cancelRequestPath(const std::string& dataDir);
std::string cancelReplyPath(const std::string& dataDir);

// The asker: drops any old reply and writes the request. False when the
// request could not be written.
bool writeCancelRequest(const std::string& dataDir, const std::string& token);

struct CancelReply {
    bool sent = false; // the sequence went to the register
    std::string report; // CR LF lines
};

// The asker: the reply to this token once it is there.
std::optional<CancelReply> takeCancelReply(const std::string& dataDir, const std::string& token);

// The asker gave up: the request must not run later, in the middle of
// someone's sale at the register.
void withdrawCancelRequest(const std::string& dataDir);

// The driver: the token of a waiting request, which is consumed, or nothing.
std::optional<std::string> takeCancelRequest(const std::string& dataDir);

// The driver: answers the token with the report.
bool writeCancelReply(const std::string& dataDir, const std::string& token, const CancelReply& reply);

} // namespace tavor1
