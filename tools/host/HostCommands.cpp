#include "host/HostCommands.h"

#include "exchange/ExchangeFiles.h"
#include "platform/ByteFiles.h"
#include "platform/Cp1252.h"
#include "platform/qt/OptionParser.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <thread>

namespace tavor1::host {

namespace {

using Clock = std::chrono::steady_clock;

const char* kUsageText =
    "Usage:\n"
    "  tavor1-host submit --data-dir DIR --channel N REQUEST [--timeout S]\n"
    "      waits for the channel's SR_MATR, writes REQUEST as SR_DATI.00N and then\n"
    "      SR_START.00N, waits for FINESCO or SR_ERR and prints the result files.\n"
    "      Exit 0 on FINESCO, 1 on SR_ERR, 2 on time-out (default 60 s).\n"
    "  tavor1-host wait-ready --data-dir DIR --channel N [--timeout S]\n"
    "      waits until the driver has published SR_MATR.00N and prints it.\n"
    "      Exit 0 when it is there, 2 on time-out.\n";

struct HostArgs {
    bool help = false;
    std::string command;
    std::string dataDir;
    int channel = 0;
    std::string request;
    double timeoutSeconds = 60;
};

void addOptions(OptionParser& parser)
{
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addOption({"data-dir"}, "DIR", {"the driver's data directory"});
    parser.addOption({"channel"}, "N", {"the channel, 1 to 4"});
    parser.addOption({"timeout"}, "S", {"seconds to wait (default 60)"});
}

std::string usage()
{
    OptionParser parser("tavor1-host");
    addOptions(parser);
    return std::string(kUsageText) + "\n" + parser.optionsHelp(18);
}

std::optional<HostArgs> parse(const std::vector<std::string>& args, std::ostream& err)
{
    HostArgs a;
    if (args.empty()) {
        err << usage();
        return std::nullopt;
    }
    OptionParser parser("tavor1-host");
    addOptions(parser);
    if (!parser.parse(args)) {
        err << "tavor1-host: "
            << (parser.problem() == OptionParser::Problem::UnknownOption ? "unexpected \"" + parser.argument() + "\""
                                                                         : parser.message())
            << "\n"
            << usage();
        return std::nullopt;
    }
    for (const OptionParser::Occurrence& o : parser.occurrences()) {
        try {
            if (o.name == "help")
                a.help = true;
            else if (o.name == "data-dir")
                a.dataDir = o.value;
            else if (o.name == "channel")
                a.channel = std::stoi(o.value);
            else if (o.name == "timeout")
                a.timeoutSeconds = std::stod(o.value);
        } catch (const std::exception&) {
            err << "tavor1-host: --" << o.name << " needs a number\n";
            return std::nullopt;
        }
    }
    if (a.help)
        return a;
    const std::vector<std::string>& words = parser.words();
    if (words.size() > 2) {
        err << "tavor1-host: unexpected \"" << words[2] << "\"\n" << usage();
        return std::nullopt;
    }
    a.command = words.empty() ? std::string() : words[0];
    a.request = words.size() > 1 ? words[1] : std::string();
    if (a.dataDir.empty() || !isValidChannel(a.channel) || a.timeoutSeconds <= 0) {
        err << "tavor1-host: --data-dir and --channel 1..4 are required\n" << usage();
        return std::nullopt;
    }
    if (!isDirectory(a.dataDir)) {
        err << "tavor1-host: data directory " << a.dataDir << " does not exist\n";
        return std::nullopt;
    }
    return a;
}

std::string path(const HostArgs& a, ExchangeFile f)
{
    return joinPath(a.dataDir, exchangeFileName(f, a.channel));
}

// Polls the folder as a host program does; the driver's files appear there.
template <typename Done>
bool waitUntil(Clock::time_point deadline, Done done)
{
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void printFile(const HostArgs& a, ExchangeFile f, std::ostream& out)
{
    const std::string p = path(a, f);
    auto bytes = readFileBytes(p);
    if (!bytes)
        return;
    out << "== " << exchangeFileName(f, a.channel) << "\n";
    std::string text = cp1252ToUtf8(*bytes);
    std::string cleaned;
    for (char c : text)
        if (c != '\r')
            cleaned += c;
    out << cleaned;
    if (!cleaned.empty() && cleaned.back() != '\n')
        out << "\n";
}

int waitReady(const HostArgs& a, Clock::time_point deadline, std::ostream& out, std::ostream& err, bool print = true)
{
    if (!waitUntil(deadline, [&] { return fileExists(path(a, ExchangeFile::SR_MATR)); })) {
        err << "tavor1-host: no " << exchangeFileName(ExchangeFile::SR_MATR, a.channel) << " within the time-out"
            << " (is tavor1 running on " << a.dataDir << " with channel " << a.channel << " enabled?)\n";
        if (fileExists(path(a, ExchangeFile::SR_ERR)))
            printFile(a, ExchangeFile::SR_ERR, err);
        return kTimedOut;
    }
    if (print)
        printFile(a, ExchangeFile::SR_MATR, out);
    return kDone;
}

int submit(const HostArgs& a, Clock::time_point deadline, std::ostream& out, std::ostream& err)
{
    if (a.request.empty()) {
        err << "tavor1-host: submit needs a REQUEST file\n" << usage();
        return kUsage;
    }
    auto request = readFileBytes(a.request);
    if (!request) {
        err << "tavor1-host: cannot read " << a.request << "\n";
        return kUsage;
    }
    if (int rc = waitReady(a, deadline, out, err, false); rc != kDone)
        return rc;
    if (fileExists(path(a, ExchangeFile::SR_START))) {
        err << "tavor1-host: " << exchangeFileName(ExchangeFile::SR_START, a.channel)
            << " is still there: the previous job of this channel has not ended\n";
        return kUsage;
    }
    // Results of an earlier job would be taken for this one's.
    removeFile(path(a, ExchangeFile::SR_ERR));
    removeFile(path(a, ExchangeFile::FINESCO));
    removeFile(path(a, ExchangeFile::SR_OUT));
    // The request is complete before the go signal exists.
    if (!writeFileBytes(path(a, ExchangeFile::SR_DATI), *request)
        || !writeFileBytes(path(a, ExchangeFile::SR_START), "00000000\r\n")) {
        err << "tavor1-host: cannot write the request into " << a.dataDir << "\n";
        return kUsage;
    }
    // SR_ERR may appear while the job still runs (paper end): the job has
    // ended only once its go signal is gone.
    const bool ended = waitUntil(deadline, [&] {
        return fileExists(path(a, ExchangeFile::FINESCO))
            || (fileExists(path(a, ExchangeFile::SR_ERR)) && !fileExists(path(a, ExchangeFile::SR_START)));
    });
    if (!ended) {
        err << "tavor1-host: no FINESCO or SR_ERR within the time-out\n";
        return kTimedOut;
    }
    printFile(a, ExchangeFile::SR_OUT, out);
    if (fileExists(path(a, ExchangeFile::FINESCO))) {
        printFile(a, ExchangeFile::FINESCO, out);
        return kDone;
    }
    printFile(a, ExchangeFile::SR_ERR, out);
    return kFailed;
}

} // namespace

int runHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    auto a = parse(args, err);
    if (!a)
        return kUsage;
    if (a->help) {
        out << usage();
        return kDone;
    }
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(a->timeoutSeconds * 1000));
    if (a->command == "submit")
        return submit(*a, deadline, out, err);
    if (a->command == "wait-ready")
        return waitReady(*a, deadline, out, err);
    err << "tavor1-host: unknown command \"" << a->command << "\"\n" << usage();
    return kUsage;
}

} // namespace tavor1::host
