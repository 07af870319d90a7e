#include "main/DriverArgs.h"

#include "settings/IpAddress.h"

#include <charconv>

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

ParsedArgs parseDriverArgs(const std::vector<std::string>& argv)
{
    ParsedArgs out;
    DriverArgs& a = out.args;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& opt = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argv.size()) {
                out.error = opt + " needs a value";
                return std::nullopt;
            }
            return argv[++i];
        };
        if (opt == "--headless") {
            a.headless = true;
        } else if (opt == "--simulate") {
            a.simulate = true;
        } else if (opt == "--help" || opt == "-h") {
            a.help = true;
        } else if (opt == "--version") {
            a.version = true;
        } else if (opt == "--register-ip") {
            auto v = value();
            if (!v)
                return out;
            if (!ValidateIPAddress(*v)) {
                out.error = "--register-ip needs an IPv4 address such as 192.168.1.50, not \"" + *v + "\"";
                return out;
            }
            a.registerIp = *v;
        } else if (opt == "--data-dir") {
            if (auto v = value()) a.dataDir = *v; else return out;
        } else if (opt == "--config-dir") {
            if (auto v = value()) a.configDir = *v; else return out;
        } else if (opt == "--payment-url") {
            if (auto v = value()) a.paymentUrl = *v; else return out;
        } else if (opt == "--roll") {
            if (auto v = value()) a.rollFile = *v; else return out;
        } else if (opt == "--register-port") {
            auto v = value();
            if (!v) return out;
            a.registerPort = parseInt(*v, 1, 65535);
            if (!a.registerPort) {
                out.error = "--register-port needs a port number from 1 to 65535, not \"" + *v + "\"";
                return out;
            }
        } else if (opt == "--closing-pause") {
            auto v = value();
            if (!v) return out;
            auto ms = parseInt(*v, 0, 60000);
            if (!ms) {
                out.error = "--closing-pause needs milliseconds from 0 to 60000, not \"" + *v + "\"";
                return out;
            }
            a.closingPauseMs = *ms;
        } else if (opt == "--reply-timeout" || opt == "--second-wait") {
            auto v = value();
            if (!v) return out;
            // Below 100 ms no register answers at all; above 10 minutes is no limit.
            auto ms = parseInt(*v, 100, 600000);
            if (!ms) {
                out.error = opt + " needs milliseconds from 100 to 600000, not \"" + *v + "\"";
                return out;
            }
            (opt == "--reply-timeout" ? a.replyTimeoutMs : a.secondWaitMs) = *ms;
        } else if (opt == "--payment-timeout") {
            auto v = value();
            if (!v)
                return out;
            // Past an hour nobody is waiting at the till any more.
            auto seconds = parseInt(*v, 1, 3600);
            if (!seconds) {
                out.error = "--payment-timeout needs seconds from 1 to 3600, not \"" + *v + "\"";
                return out;
            }
            a.paymentTimeoutSeconds = *seconds;
        } else if (opt == "--approval-reuse-minutes") {
            auto v = value();
            if (!v)
                return out;
            // 0 turns reuse off: every retry is charged and the approval listed as not used.
            auto minutes = parseInt(*v, 0, 24 * 60);
            if (!minutes) {
                out.error = "--approval-reuse-minutes needs minutes from 0 to 1440, not \"" + *v + "\"";
                return out;
            }
            a.approvalReuseMinutes = *minutes;
        } else {
            out.error = "unknown option \"" + opt + "\"";
            return out;
        }
    }
    if (a.dataDir && a.dataDir->empty())
        out.error = "--data-dir needs a directory";
    else if (a.configDir && a.configDir->empty())
        out.error = "--config-dir needs a directory";
    return out;
}

std::string driverUsage()
{
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
           "\n"
           "  --headless          no window and no display; message boxes become lines on\n"
           "                      standard error; SIGTERM/SIGINT close the driver in order\n"
           "  --data-dir DIR      the data directory (wins over the registry override)\n"
           "  --config-dir DIR    the folder of the option files (default: the program's folder)\n"
           "  --register-ip ADDR  the register's address for this run (the option files keep\n"
           "                      theirs)\n"
           "  --register-port N   the register's TCP port (default 9100)\n"
           "  --payment-url URL   the payment service base (default http://localhost:80)\n"
           "  --simulate          start a simulated register and payment service inside the\n"
           "                      driver on loopback and use them instead of real ones\n"
           "  --roll FILE         with --simulate: append the simulated paper roll to FILE\n"
           "  --closing-pause MS  length of each pause of the closing sequence (default 1000;\n"
           "                      the idle close waits 5 pauses, a close during a job 3)\n"
           "  --reply-timeout MS  how long to wait for a register reply (default 40000)\n"
           "  --second-wait MS    how long to wait for the reply frame after the register's\n"
           "                      ACK (default 16000)\n"
           "  --payment-timeout SECONDS\n"
           "                      how long a card payment waits for the payment service\n"
           "                      (default 300); then the job fails with E601\n"
           "  --approval-reuse-minutes N\n"
           "                      a card approval whose document failed pays the retry of the\n"
           "                      unchanged SR_DATI for N minutes (default 15; 0: never)\n"
           "\n"
           "  doctor              checks options, data directory, register and payment\n"
           "                      service, one line each; exits 0 when all are ok. Never\n"
           "                      prints a document or moves a counter\n"
           "  options             lists the options, or shows NAME, or sets NAME=VALUE\n"
           "                      (e.g. txtRemoteIP=192.168.1.50 chbPagamentiEstesi=1)\n"
           "  cancel              \"Annullla Doc\": cancels the document left open on the\n"
           "                      register, through the driver serving the data directory\n"
           "                      between two jobs, or directly when none runs\n"
           "\n"
           "Installed, the option files are in /etc/tavor1 and the data directory is\n"
           "/var/lib/tavor1 unless given; elsewhere both are the program's folder.\n"
           "\n"
           "  convert             converts REQUEST into the register commands, prints them\n"
           "                      and writes KB.txt as the driver would\n"
           "  history             prints the last N jobs (default 20) of the job journal;\n"
           "                      starts no driver\n";
}

} // namespace tavor1
