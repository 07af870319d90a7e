#include "DriverProcess.h"

#include "platform/ByteFiles.h"

#include <algorithm>

namespace tavor1::test {

CommandRun runCommand(const QString& program, const QStringList& args, int limitMs)
{
    QProcess process;
    process.start(program, args);
    CommandRun result;
    if (!process.waitForStarted(5000))
        return result;
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, limitMs);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

void DriverProcess::SetUp()
{
    ASSERT_TRUE(sim.listen(0)) << sim.errorString().toStdString();
    ASSERT_NE(pay.start(0), 0);
    ASSERT_TRUE(makeDirectory(dataDir));
}

void DriverProcess::start(const QStringList& extra)
{
    writeFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT"), "1000\r\n");
    writeFileBytes(joinPath(configDir.path(), "TVCHKSCO.TXT"), otherOptions);
    m_endsAtStart = count("1109");
    driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    driver.start(kTavor1, QStringList{"--headless"} + dirs() +
                              QStringList{"--register-port", QString::number(sim.port()), "--payment-url",
                                          QStringLiteral("http://127.0.0.1:%1").arg(pay.port()), "--closing-pause",
                                          "20", "--reply-timeout", "60000"} +
                              extra);
    ASSERT_TRUE(driver.waitForStarted(5000)) << driver.errorString().toStdString();
}

void DriverProcess::kill()
{
    if (driver.state() != QProcess::NotRunning) {
        driver.kill();
        driver.waitForFinished(3000);
    }
}

int DriverProcess::terminate(int signal)
{
    ::kill(static_cast<pid_t>(driver.processId()), signal);
    if (!waitFor([&] { return driver.state() == QProcess::NotRunning; }, 10000))
        return -1;
    return driver.exitStatus() == QProcess::NormalExit ? driver.exitCode() : -2;
}

std::string DriverProcess::file(ExchangeFile f, int channel) const
{
    return joinPath(dataDir, exchangeFileName(f, channel));
}

bool DriverProcess::has(ExchangeFile f, int channel) const
{
    return fileExists(file(f, channel));
}

std::string DriverProcess::read(ExchangeFile f, int channel) const
{
    return readFileBytes(file(f, channel)).value_or("");
}

void DriverProcess::waitReady(int channel)
{
    ASSERT_TRUE(waitFor([&] { return has(ExchangeFile::SR_MATR, channel) && count("1109") > m_endsAtStart; }))
        << "no SR_MATR on channel " << channel << "\n"
        << commandsSent();
}

void DriverProcess::submit(const std::string& request, int channel)
{
    ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_DATI, channel), request));
    ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_START, channel), "00000000\r\n"));
}

std::string DriverProcess::job(const std::string& request, int channel)
{
    if (!waitFor([&] { return !has(ExchangeFile::SR_START, channel); }))
        return "<the last go signal stays>";
    removeFile(file(ExchangeFile::FINESCO, channel));
    removeFile(file(ExchangeFile::SR_ERR, channel));
    removeFile(file(ExchangeFile::SR_OUT, channel));
    submit(request, channel);
    if (!waitFor([&] { return answered(channel); }))
        return "<no answer>";
    return has(ExchangeFile::FINESCO, channel) ? read(ExchangeFile::FINESCO, channel)
                                               : read(ExchangeFile::SR_ERR, channel);
}

void DriverProcess::addFault(regsim::FaultMode mode, const std::string& command, int times)
{
    regsim::Fault fault;
    fault.mode = mode;
    fault.command = command;
    fault.times = times;
    sim.addFault(fault);
}

bool DriverProcess::answered(int channel) const
{
    return has(ExchangeFile::FINESCO, channel) ||
           (has(ExchangeFile::SR_ERR, channel) && !has(ExchangeFile::SR_START, channel));
}

int DriverProcess::count(const std::string& prefix) const
{
    const auto& c = sim.commands();
    return static_cast<int>(
        std::count_if(c.begin(), c.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
}

std::string DriverProcess::commandsSent() const
{
    std::string out;
    for (const std::string& c : sim.commands())
        out += c + "\n";
    return out;
}

std::string DriverProcess::logFile() const
{
    return readFileBytes(joinPath(dataDir, "LOGFILE.TXT")).value_or("");
}

QStringList DriverProcess::dirs() const
{
    return {"--data-dir", QString::fromStdString(dataDir), "--config-dir", QString::fromStdString(configDir.path())};
}

} // namespace tavor1::test
