#include "main/Commands.h"

#include "driver/DirectCancel.h"
#include "driver/Doctor.h"
#include "exchange/CancelRequest.h"
#include "main/DriverArgs.h"
#include "main/Locations.h"
#include "platform/ByteFiles.h"
#include "platform/LockHolder.h"
#include "platform/Version.h"
#include "platform/qt/Wait.h"
#include "settings/IpAddress.h"
#include "settings/OptionFiles.h"
#include "settings/OptionTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <set>

namespace tavor1 {

namespace {

// The words of a subcommand: its --options (read as the driver reads them)
// and the rest.
struct CommandLine {
    DriverArgs args;
    std::vector<std::string> words;
    std::string error;
};

CommandLine parseCommandLine(const std::string& command, const std::vector<std::string>& argv,
                             const std::set<std::string>& allowed)
{
    CommandLine line;
    OptionParser parser("tavor1 " + command);
    addDriverOptions(parser, allowed);
    if (!parser.parse(argv)) {
        line.error = parser.problem() == OptionParser::Problem::UnknownOption
                         ? "tavor1 " + command + " does not take " + parser.argument()
                         : parser.message();
        return line;
    }
    line.words = parser.words();
    line.error = readDriverOptions(parser, line.args);
    return line;
}

// The address as the driver would settle it: option files, registry, --register-ip.
std::string settledAddress(const Options& options, const Locations& where, const DriverArgs& args)
{
    std::string address = validateIpAddress(options.txtRemoteIP) ? options.txtRemoteIP : std::string();
    if (!where.registryIPAddress.empty() && validateIpAddress(where.registryIPAddress))
        address = where.registryIPAddress;
    if (args.registerIp)
        address = *args.registerIp;
    return address;
}

void printReport(std::ostream& out, const std::string& report)
{
    for (std::size_t at = 0, end; at < report.size(); at = end + 2) {
        end = report.find("\r\n", at);
        if (end == std::string::npos)
            end = report.size();
        out << report.substr(at, end - at) << "\n";
    }
}

} // namespace

int runDoctorCommand(const std::vector<std::string>& arguments, int argc, char** argv, std::ostream& out,
                     std::ostream& err)
{
    const CommandLine line = parseCommandLine(
        "doctor", arguments, {"--data-dir", "--config-dir", "--register-ip", "--register-port", "--payment-url"});
    if (!line.error.empty() || !line.words.empty()) {
        err << "tavor1: " << (line.error.empty() ? "doctor takes no word \"" + line.words.front() + "\"" : line.error)
            << "\n\n"
            << driverUsage();
        return 2;
    }
    QCoreApplication app(argc, argv);
    const Locations where = settleLocations(line.args, argv[0]);
    DoctorSetup setup;
    setup.programDir = where.programDir;
    setup.dataDir = where.dataDir;
    setup.registryIPAddress = where.registryIPAddress;
    if (line.args.registerIp)
        setup.forcedRemoteIP = *line.args.registerIp;
    if (line.args.registerPort)
        setup.registerPort = static_cast<std::uint16_t>(*line.args.registerPort);
    if (line.args.paymentUrl)
        setup.paymentUrl = *line.args.paymentUrl;
    out << "tavor1 " << kVersionText << " doctor\n";
    bool allOk = true;
    for (const DoctorCheck& check : runDoctor(setup)) {
        out << doctorLine(check) << "\n" << std::flush;
        allOk = allOk && check.ok;
    }
    return allOk ? 0 : 1;
}

int runOptionsCommand(const std::vector<std::string>& arguments, int argc, char** argv, std::ostream& out,
                      std::ostream& err)
{
    const CommandLine line = parseCommandLine("options", arguments, {"--config-dir", "--data-dir"});
    if (!line.error.empty()) {
        err << "tavor1: " << line.error << "\n\n" << driverUsage();
        return 2;
    }
    QCoreApplication app(argc, argv);
    const Locations where = settleLocations(line.args, argv[0]);
    if (!isDirectory(where.programDir)) {
        err << "tavor1: the folder of the option files " << where.programDir
            << " does not exist (create it, or give another with --config-dir)\n";
        return 2;
    }
    Options options;
    readOptionFiles(where.programDir, options);
    if (!validateIpAddress(options.txtRemoteIP))
        options.txtRemoteIP.clear();

    const auto show = [&](const OptionRow& row) {
        out << row.name << "=" << row.get(options) << "    \"" << row.caption << "\" (" << row.file << ")\n";
    };
    if (line.words.empty()) {
        out << "# " << where.programDir << "\n";
        for (const OptionRow& row : optionRows())
            show(row);
        return 0;
    }

    // Every word is checked before anything is saved: a typo in the third
    // setting must not leave the first two half applied.
    std::vector<const OptionRow*> shown;
    bool changed = false;
    bool refused = false;
    for (const std::string& word : line.words) {
        const std::size_t eq = word.find('=');
        const std::string name = word.substr(0, eq);
        const OptionRow* row = findOptionRow(name);
        if (!row) {
            err << "tavor1: no option \"" << name << "\" (tavor1 options lists them)\n";
            refused = true;
            continue;
        }
        if (eq != std::string::npos) {
            const std::string why = row->set(options, word.substr(eq + 1));
            if (!why.empty()) {
                err << "tavor1: " << row->name << ": " << why << "\n";
                refused = true;
                continue;
            }
            changed = true;
        }
        shown.push_back(row);
    }
    if (refused) {
        err << "tavor1: nothing saved\n";
        return 2;
    }
    if (changed) {
        const bool saved = saveOptionFiles(where.programDir, options) && saveTimerFile(where.programDir, options);
        if (!saved) {
            err << "tavor1: cannot write the option files in " << where.programDir
                << " (run as root, or as the driver's user)\n";
            return 1;
        }
    }
    for (const OptionRow* row : shown)
        show(*row);
    if (changed) {
        if (const auto pid = lockHolderPid(where.dataDir))
            out << "# the driver running as PID " << *pid
                << " takes the new values when it starts again (systemctl restart tavor1)\n";
    }
    return 0;
}

int runCancelCommand(const std::vector<std::string>& arguments, int argc, char** argv, std::ostream& out,
                     std::ostream& err)
{
    const CommandLine line =
        parseCommandLine("cancel", arguments, {"--data-dir", "--config-dir", "--register-ip", "--register-port"});
    if (!line.error.empty() || !line.words.empty()) {
        err << "tavor1: " << (line.error.empty() ? "cancel takes no word \"" + line.words.front() + "\"" : line.error)
            << "\n\n"
            << driverUsage();
        return 2;
    }
    QCoreApplication app(argc, argv);
    const Locations where = settleLocations(line.args, argv[0]);

    CancelReply reply;
    if (const auto pid = lockHolderPid(where.dataDir)) {
        // The driver carries it out at its next poll, after any running job
        // (whose own waits end within its connection and reply limits).
        const std::string token =
            std::to_string(::getpid()) + "-" + std::to_string(QDateTime::currentMSecsSinceEpoch());
        if (!writeCancelRequest(where.dataDir, token)) {
            err << "tavor1: cannot write the request in " << where.dataDir << "\n";
            return 1;
        }
        out << "tavor1: asking the driver PID " << *pid << " that serves " << where.dataDir << "\n" << std::flush;
        constexpr int kLimitMs = 120000;
        std::optional<CancelReply> answer;
        bool driverGone = false;
        // The answer is a file: look for it every 100 ms. Ends on the reply,
        // the limit, or the driver's end.
        WaitHandle wait;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            answer = takeCancelReply(where.dataDir, token);
            driverGone = !answer && !lockHolderPid(where.dataDir);
            wait.wake();
        });
        check.start(100);
        waitUntil([&] { return answer || driverGone; }, kLimitMs, &wait);
        if (!answer) {
            withdrawCancelRequest(where.dataDir);
            err << "tavor1: the driver did not answer within " << kLimitMs / 1000
                << " s; nothing was sent (a job may still be running: try again)\n";
            return 1;
        }
        reply = *answer;
    } else {
        Options options;
        readOptionFiles(where.programDir, options);
        const std::uint16_t port = line.args.registerPort ? static_cast<std::uint16_t>(*line.args.registerPort) : 9100;
        out << "tavor1: no driver serves " << where.dataDir << ": talking to the register directly\n" << std::flush;
        reply = cancelDirectly(settledAddress(options, where, line.args), port, options.connectionTimeoutSeconds());
    }
    printReport(reply.sent ? out : err, reply.report);
    return reply.sent ? 0 : 1;
}

} // namespace tavor1
