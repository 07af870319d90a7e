#include "exchange/ExchangeFiles.h"

#include "platform/ByteFiles.h"

#include <system_error>

namespace tavor1 {

namespace {

const char* baseName(ExchangeFile file)
{
    switch (file) {
    case ExchangeFile::SR_START: return "SR_START";
    case ExchangeFile::SR_DATI: return "SR_DATI";
    case ExchangeFile::SR_MATR: return "SR_MATR";
    case ExchangeFile::SR_OUT: return "SR_OUT";
    case ExchangeFile::SR_ERR: return "SR_ERR";
    case ExchangeFile::FINESCO: return "FINESCO";
    }
    return "";
}

// The run-time error numbers the log has always shown for a failed delete,
// so that a technician reading LOGFILE.TXT finds the familiar codes.
int runtimeErrorNumber(const std::error_code& ec)
{
    if (ec == std::errc::no_such_file_or_directory)
        return 53; // File not found
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted
        || ec == std::errc::device_or_resource_busy || ec == std::errc::read_only_file_system)
        return 70; // Permission denied
    return 75;     // Path/File access error
}

} // namespace

std::string exchangeFileName(ExchangeFile file, int channel)
{
    if (!isValidChannel(channel))
        return {};
    return std::string(baseName(file)) + ".00" + char('0' + channel);
}

std::array<ExchangeFile, 6> startupDeleteOrder(int channel)
{
    using F = ExchangeFile;
    if (channel == 1)
        return {F::SR_START, F::SR_MATR, F::SR_ERR, F::SR_DATI, F::SR_OUT, F::FINESCO};
    return {F::SR_MATR, F::SR_START, F::SR_ERR, F::SR_DATI, F::SR_OUT, F::FINESCO};
}

ExchangeFiles::ExchangeFiles(std::string dataDir, const Clock& clock, const FileOps& ops)
    : m_dataDir(std::move(dataDir))
    , m_log(m_dataDir, clock)
    , m_ops(ops)
{
}

std::string ExchangeFiles::path(ExchangeFile file, int channel) const
{
    if (!isValidChannel(channel))
        return {};
    return joinPath(m_dataDir, exchangeFileName(file, channel));
}

bool ExchangeFiles::exists(ExchangeFile file, int channel) const
{
    return isValidChannel(channel) && fileExists(path(file, channel));
}

void ExchangeFiles::deleteIfExists(std::string_view name) const
{
    const std::string p = joinPath(m_dataDir, name);
    if (fileExists(p))
        removeFile(p);
}

template <typename LogText>
bool ExchangeFiles::killLogged(ExchangeFile file, int channel, LogText logText) const
{
    const std::string p = path(file, channel);
    if (!fileExists(p))
        return true;
    std::error_code ec;
    // The host may delete the file between the test and the delete; what
    // counts is that it is gone.
    if (m_ops.remove(p, ec) || !fileExists(p))
        return true;
    m_log.append(logText(ec));
    return false;
}

bool ExchangeFiles::deleteErrFile(int channel) const
{
    return isValidChannel(channel) && killLogged(ExchangeFile::SR_ERR, channel, [&](const std::error_code&) {
               return "Errore nella Kill di SR_ERR " + std::to_string(channel);
           });
}

bool ExchangeFiles::deleteOutFile(int channel) const
{
    return isValidChannel(channel) && killLogged(ExchangeFile::SR_OUT, channel, [&](const std::error_code&) {
               return "Errore nella Kill di SR_OUT " + std::to_string(channel);
           });
}

bool ExchangeFiles::deleteDatiFile(int channel) const
{
    return isValidChannel(channel) && killLogged(ExchangeFile::SR_DATI, channel, [&](const std::error_code&) {
               return "Errore nella Kill di SR_DATI " + std::to_string(channel);
           });
}

bool ExchangeFiles::killStartFile(int channel) const
{
    if (!isValidChannel(channel))
        return true;
    // No blank before "Line": the log line has always looked like this.
    return killLogged(ExchangeFile::SR_START, channel, [&](const std::error_code& ec) {
        return "Errore : " + std::to_string(runtimeErrorNumber(ec)) + " nella Funzione_Kill SR_START "
            + std::to_string(channel) + "Line : 0";
    });
}

bool ExchangeFiles::removeQuietly(ExchangeFile file, int channel, std::error_code& error) const
{
    error.clear();
    const std::string p = path(file, channel);
    if (p.empty() || !fileExists(p))
        return true;
    return m_ops.remove(p, error) || !fileExists(p);
}

bool ExchangeFiles::writeResult(ExchangeFile file, int channel, std::string_view bytes, std::error_code& error) const
{
    if (!isValidChannel(channel)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    return m_ops.replace(path(file, channel), bytes, error);
}

bool ExchangeFiles::deleteStartFile(int channel) const
{
    if (!isValidChannel(channel) || !exists(ExchangeFile::SR_START, channel))
        return true;
    const bool removed = killStartFile(channel);
    std::error_code ec;
    if (!exists(ExchangeFile::SR_ERR, channel))
        writeResult(ExchangeFile::FINESCO, channel, kFinescoContent, ec);
    return removed;
}

bool ExchangeFiles::writeErrFile(std::string_view message, int channel, std::string_view lastRegisterError) const
{
    if (!isValidChannel(channel))
        return false;
    std::string line(message);
    if (!lastRegisterError.empty())
        line.append(" : ERRORE ").append(lastRegisterError);
    line += "\r\n";
    std::error_code ec;
    return writeResult(ExchangeFile::SR_ERR, channel, line, ec);
}

void ExchangeFiles::deleteAllAtStartup(const std::array<bool, kChannelCount>& keepRequest) const
{
    for (int channel = 1; channel <= kChannelCount; ++channel)
        for (ExchangeFile file : startupDeleteOrder(channel))
            if (!(file == ExchangeFile::SR_DATI && keepRequest[static_cast<std::size_t>(channel - 1)]))
                deleteIfExists(exchangeFileName(file, channel));
}

void ExchangeFiles::deleteChannelAtExit(int channel) const
{
    if (!isValidChannel(channel))
        return;
    for (ExchangeFile file : kExitDeleteOrder)
        deleteIfExists(exchangeFileName(file, channel));
}

} // namespace tavor1
