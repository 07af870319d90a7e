#pragma once

#include "exchange/LogFile.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"

#include <array>
#include <string>
#include <string_view>
#include <system_error>

namespace tavor1 {

// The files through which the driver and the host talk, per channel.
enum class ExchangeFile {
    SR_START, // host: go signal of one job (presence only)
    SR_DATI,  // host: the request
    SR_MATR,  // driver: register identification; its presence opens the channel
    SR_OUT,   // driver: identification of the printed document
    SR_ERR,   // driver: one error line; the job failed
    FINESCO,  // driver: the job ended without error
};

inline constexpr int kChannelCount = 4;

constexpr bool isValidChannel(int channel)
{
    return channel >= 1 && channel <= kChannelCount;
}

// "SR_START.001" .. "FINESCO.004"; empty for a channel outside 1..4.
std::string exchangeFileName(ExchangeFile file, int channel);

// What a go signal without a request is answered with.
inline constexpr std::string_view kMissingRequestText = "E506: Trasmissione non avvenuta: file di input non presente";

// The content of FINESCO: these 7 bytes, no line end.
inline constexpr std::string_view kFinescoContent = "finesco";

// Start-up clears every channel in these orders. Channel 1 deletes its go
// signal before its identification, the others the other way round: the
// driver has always done it so, and a host watching the folder may see it.
std::array<ExchangeFile, 6> startupDeleteOrder(int channel);
// At exit the request (SR_DATI) is left for the host.
inline constexpr std::array<ExchangeFile, 5> kExitDeleteOrder{
    ExchangeFile::SR_MATR, ExchangeFile::SR_START, ExchangeFile::SR_ERR, ExchangeFile::SR_OUT, ExchangeFile::FINESCO};

// The exchange files of the four channels in one data directory. No method
// throws or stops on a file-system error: a failed write is skipped, a failed
// delete of the SubKill procedures is recorded in LOGFILE.TXT. Methods taking
// a channel do nothing for a channel outside 1..4.
class ExchangeFiles {
public:
    // Deletes and result-file writes go through ops.
    ExchangeFiles(std::string dataDir, const Clock& clock, const FileOps& ops = systemFileOps());

    const std::string& dataDir() const { return m_dataDir; }
    std::string path(ExchangeFile file, int channel) const;
    bool exists(ExchangeFile file, int channel) const;

    // name is a file name, usually with its leading backslash ("\SR_START.001");
    // the file in the data directory is deleted when present.
    void deleteIfExists(std::string_view name) const;

    // Each true when the file is absent afterwards.
    bool deleteErrFile(int channel) const;
    bool deleteOutFile(int channel) const;
    bool deleteDatiFile(int channel) const;
    // Consumes the go signal: deletes SR_START when present and then, unless
    // SR_ERR exists, writes FINESCO. Nothing at all when SR_START is absent.
    // Returns false only when SR_START exists and could not be deleted: the
    // job would then be picked up again, and the caller must stop that (see
    // ChannelState::servedGoSignal).
    bool deleteStartFile(int channel) const;
    // Only the delete of SR_START, with the log line of a failure. True when
    // it is absent afterwards.
    bool killStartFile(int channel) const;
    // A delete that logs nothing, for retries. True when absent afterwards.
    bool removeQuietly(ExchangeFile file, int channel, std::error_code& error) const;
    // A result file written beside its name, flushed and renamed into place:
    // a host reacts to its presence and may read it at once, and must never
    // find it empty or cut, even after a power cut.
    bool writeResult(ExchangeFile file, int channel, std::string_view bytes, std::error_code& error) const;

    // One line in LOGFILE.TXT.
    void log(std::string_view text) const { m_log.append(text); }

    // Writes the one line of SR_ERR (created or truncated): the message, and
    // when the register reported an error, " : ERRORE " and its code. The
    // full path is used, however long the data directory's path is. Returns
    // whether the line was written.
    bool writeErrFile(std::string_view message, int channel, std::string_view lastRegisterError) const;

    // Start-up: every exchange file of every channel, in startupDeleteOrder.
    // keepRequest spares a channel's SR_DATI: the request of a job that a
    // crash interrupted, still to be answered.
    void deleteAllAtStartup(const std::array<bool, kChannelCount>& keepRequest = {}) const;
    // Exit, one channel (the caller pauses between channels).
    void deleteChannelAtExit(int channel) const;

private:
    // Deletes the file when present; a failure that leaves it in place is
    // logged with the text that logText builds from the error.
    template <typename LogText>
    bool killLogged(ExchangeFile file, int channel, LogText logText) const;

    std::string m_dataDir;
    LogFile m_log;
    const FileOps& m_ops;
};

} // namespace tavor1
