#include "exchange/CancelRequest.h"

#include "platform/ByteFiles.h"

namespace tavor1 {

namespace {

constexpr std::size_t kReadLimit = 64 * 1024;

std::string firstLine(const std::string& text, std::string* rest = nullptr)
{
    const std::size_t end = text.find("\r\n");
    if (rest)
        *rest = end == std::string::npos ? std::string() : text.substr(end + 2);
    return text.substr(0, end);
}

} // namespace

std::string cancelRequestPath(const std::string& dataDir)
{
    return joinPath(dataDir, "tavor1.cancel");
}

std::string cancelReplyPath(const std::string& dataDir)
{
    return joinPath(dataDir, "tavor1.cancel.reply");
}

bool writeCancelRequest(const std::string& dataDir, const std::string& token)
{
    removeFile(cancelReplyPath(dataDir));
    return replaceFileBytes(cancelRequestPath(dataDir), token + "\r\n");
}

std::optional<CancelReply> takeCancelReply(const std::string& dataDir, const std::string& token)
{
    const auto text = readFileBytes(cancelReplyPath(dataDir), kReadLimit);
    if (!text)
        return std::nullopt;
    std::string rest;
    if (firstLine(*text, &rest) != token)
        return std::nullopt;
    CancelReply reply;
    reply.sent = firstLine(rest, &reply.report) == "inviato";
    removeFile(cancelReplyPath(dataDir));
    return reply;
}

void withdrawCancelRequest(const std::string& dataDir)
{
    removeFile(cancelRequestPath(dataDir));
}

std::optional<std::string> takeCancelRequest(const std::string& dataDir)
{
    const std::string path = cancelRequestPath(dataDir);
    const auto text = readFileBytes(path, kReadLimit);
    if (!text)
        return std::nullopt;
    // Consumed before the register is touched: a crash in the middle must not
    // cancel again at the next start.
    if (!removeFile(path))
        return std::nullopt;
    return firstLine(*text);
}

bool writeCancelReply(const std::string& dataDir, const std::string& token, const CancelReply& reply)
{
    return replaceFileBytes(cancelReplyPath(dataDir),
                            token + "\r\n" + (reply.sent ? "inviato" : "non inviato") + "\r\n" + reply.report);
}

} // namespace tavor1
