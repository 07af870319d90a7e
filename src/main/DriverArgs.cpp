#include "main/DriverArgs.h"

#include "settings/IpAddress.h"

#include <charconv>
#include <set>

namespace tavor1 {

namespace {

std::optional<int> parseInt(const std::string& text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

void addDriverOptions(OptionParser& parser, const std::set<std::string>& only)
{
    struct Row {
        std::vector<std::string> names;
        const char* valueName;
        std::vector<std::string> description;
    };
    static const std::vector<Row> rows = {
        {{"help", "h"}, "", {"prints this text"}},
        {{"version"}, "", {"prints the version"}},
        {{"headless"},
         "",
         {"no window and no display; message boxes become lines on",
          "standard error; SIGTERM/SIGINT close the driver in order"}},
        {{"data-dir"}, "DIR", {"the data directory (wins over the registry override)"}},
        {{"config-dir"}, "DIR", {"the folder of the option files (default: the program's folder)"}},
        {{"register-ip"}, "ADDR", {"the register's address for this run (the option files keep", "theirs)"}},
        {{"register-port"}, "N", {"the register's TCP port (default 9100)"}},
        {{"payment-url"}, "URL", {"the payment service base (default http://localhost:80)"}},
        {{"simulate"},
         "",
         {"start a simulated register and payment service inside the",
          "driver on loopback and use them instead of real ones"}},
        {{"roll"}, "FILE", {"with --simulate: append the simulated paper roll to FILE"}},
        {{"closing-pause"},
         "MS",
         {"length of each pause of the closing sequence (default 1000;",
          "the idle close waits 5 pauses, a close during a job 3)"}},
        {{"reply-timeout"}, "MS", {"how long to wait for a register reply (default 40000)"}},
        {{"second-wait"}, "MS", {"how long to wait for the reply frame after the register's", "ACK (default 16000)"}},
        {{"payment-timeout"},
         "SECONDS",
         {"how long a card payment waits for the payment service", "(default 300); then the job fails with E601"}},
        {{"approval-reuse-minutes"},
         "N",
         {"a card approval whose document failed pays the retry of the",
          "unchanged SR_DATI for N minutes (default 15; 0: never)"}},
    };
    for (const Row& row : rows)
        if (only.empty() || only.count("--" + row.names.front()))
            parser.addOption(row.names, row.valueName, row.description);
}

std::string readDriverOptions(const OptionParser& parser, DriverArgs& a)
{
    for (const OptionParser::Occurrence& o : parser.occurrences()) {
        const std::string opt = "--" + o.name;
        const std::string& v = o.value;
        if (o.name == "headless") {
            a.headless = true;
        } else if (o.name == "simulate") {
            a.simulate = true;
        } else if (o.name == "help") {
            a.help = true;
        } else if (o.name == "version") {
            a.version = true;
        } else if (o.name == "register-ip") {
            if (!validateIpAddress(v))
                return "--register-ip needs an IPv4 address such as 192.168.1.50, not \"" + v + "\"";
            a.registerIp = v;
        } else if (o.name == "data-dir") {
            a.dataDir = v;
        } else if (o.name == "config-dir") {
            a.configDir = v;
        } else if (o.name == "payment-url") {
            a.paymentUrl = v;
        } else if (o.name == "roll") {
            a.rollFile = v;
        } else if (o.name == "register-port") {
            a.registerPort = parseInt(v, 1, 65535);
            if (!a.registerPort)
                return "--register-port needs a port number from 1 to 65535, not \"" + v + "\"";
        } else if (o.name == "closing-pause") {
            const auto ms = parseInt(v, 0, 60000);
            if (!ms)
                return "--closing-pause needs milliseconds from 0 to 60000, not \"" + v + "\"";
            a.closingPauseMs = *ms;
        } else if (o.name == "reply-timeout" || o.name == "second-wait") {
            // Below 100 ms no register answers at all; above 10 minutes is no limit.
            const auto ms = parseInt(v, 100, 600000);
            if (!ms)
                return opt + " needs milliseconds from 100 to 600000, not \"" + v + "\"";
            (o.name == "reply-timeout" ? a.replyTimeoutMs : a.secondWaitMs) = *ms;
        } else if (o.name == "payment-timeout") {
            // Past an hour nobody is waiting at the till any more.
            const auto seconds = parseInt(v, 1, 3600);
            if (!seconds)
                return "--payment-timeout needs seconds from 1 to 3600, not \"" + v + "\"";
            a.paymentTimeoutSeconds = *seconds;
        } else if (o.name == "approval-reuse-minutes") {
            // 0 turns reuse off: every retry is charged and the approval listed as not used.
            const auto minutes = parseInt(v, 0, 24 * 60);
            if (!minutes)
                return "--approval-reuse-minutes needs minutes from 0 to 1440, not \"" + v + "\"";
            a.approvalReuseMinutes = *minutes;
        }
    }
    if (a.dataDir && a.dataDir->empty())
        return "--data-dir needs a directory";
    if (a.configDir && a.configDir->empty())
        return "--config-dir needs a directory";
    return {};
}

ParsedArgs parseDriverArgs(const std::vector<std::string>& argv)
{
    ParsedArgs out;
    OptionParser parser("tavor1");
    addDriverOptions(parser);
    if (!parser.parse(argv))
        out.error = parser.message();
    else if (!parser.words().empty())
        out.error = "unknown option \"" + parser.words().front() + "\"";
    else
        out.error = readDriverOptions(parser, out.args);
    return out;
}

std::string driverUsage()
{
    OptionParser options("tavor1");
    addDriverOptions(options);
    return "Usage:\n"
           "  tavor1 [--headless] [--data-dir DIR] [--config-dir DIR] [--register-ip ADDR]\n"
           "         [--register-port N] [--payment-url URL] [--simulate [--roll FILE]]\n"
           "         [--closing-pause MS] [--reply-timeout MS] [--second-wait MS]\n"
           "         [--payment-timeout SECONDS] [--approval-reuse-minutes N]\n"
           "  tavor1 doctor [--data-dir DIR] [--config-dir DIR] [--register-ip ADDR]\n"
           "         [--register-port N] [--payment-url URL]\n"
           "  tavor1 options [--config-dir DIR] [NAME[=VALUE] ...]\n"
           "  tavor1 cancel [--data-dir DIR] [--config-dir DIR] [--register-ip ADDR]\n"
           "         [--register-port N]\n"
           "  tavor1 history [--data-dir DIR] [-n N]\n"
           "  tavor1 convert REQUEST [--data-dir DIR] [--config-dir DIR] [--rt] [--model N]\n"
           "         [--serial S] [--channel N]\n"
           "  tavor1 --version\n"
           "\n"
           "Serves the exchange files SR_START/SR_DATI of channels 1 to 4 in the data\n"
           "directory and drives the fiscal register over TCP.\n"
           "\n" +
           options.optionsHelp(22) +
           "\n"
           "  doctor              checks options, data directory, register and payment\n"
           "                      service, one line each; exits 0 when all are ok. Never\n"
           "                      prints a document or moves a counter\n"
           "  options             lists the options, or shows NAME, or sets NAME=VALUE\n"
           "                      (e.g. txtRemoteIP=192.168.1.50 chbPagamentiEstesi=1)\n"
           "  cancel              \"Annullla Doc\": cancels the document left open on the\n"
           "                      register, through the driver serving the data directory\n"
           "                      between two jobs, or directly when none runs\n"
           "  convert             converts REQUEST into the register commands, prints them\n"
           "                      and writes KB.txt as the driver would\n"
           "  history             prints the last N jobs (default 20) of the job journal;\n"
           "                      starts no driver\n"
           "\n"
           "Installed, the option files are in /etc/tavor1 and the data directory is\n"
           "/var/lib/tavor1 unless given; elsewhere both are the program's folder.\n";
}

} // namespace tavor1
