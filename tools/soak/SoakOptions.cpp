#include "soak/SoakOptions.h"

#include "platform/qt/OptionParser.h"

#include <charconv>

namespace tavor1::soak {

namespace {

template <typename T>
std::optional<T> parseNumber(const std::string& text)
{
    T value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

void addSoakOptions(OptionParser& parser)
{
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addOption({"jobs"}, "N", {"number of jobs"});
    parser.addOption({"crash"}, "N", {"number of crash cycles"});
    parser.addOption({"seed"}, "S", {"seed of the fault plan (default: from the clock; printed)"});
    parser.addOption({"tavor1"}, "PATH", {"the driver to run (default: the one built with the soak)"});
    parser.addOption({"keep-dir"}, "DIR", {"work in DIR (data, options, roll, driver log) and keep it"});
    parser.addFlag({"no-memory-check"}, {"measure the driver's memory, do not judge it"});
    parser.addFlag({"no-charge-check"}, {"count the card charges of the crash cycles, do not judge them"});
}

} // namespace

ParsedSoakArgs parseSoakArgs(const std::vector<std::string>& argv)
{
    ParsedSoakArgs out;
    SoakOptions& o = out.options;
    OptionParser parser("tavor1-soak");
    addSoakOptions(parser);
    if (!parser.parse(argv)) {
        out.error = parser.message();
        return out;
    }
    if (!parser.words().empty()) {
        out.error = "unknown option \"" + parser.words().front() + "\"";
        return out;
    }
    for (const OptionParser::Occurrence& occurrence : parser.occurrences()) {
        const std::string opt = "--" + occurrence.name;
        const std::string& value = occurrence.value;
        if (opt == "--help") {
            o.help = true;
        } else if (opt == "--no-memory-check") {
            o.memoryCheck = false;
        } else if (opt == "--no-charge-check") {
            o.chargeCheck = false;
        } else if (opt == "--jobs") {
            const auto n = parseNumber<int>(value);
            if (!n || *n < 1 || *n > 1000000) {
                out.error = "--jobs needs a number from 1 to 1000000, not \"" + value + "\"";
                return out;
            }
            o.jobs = *n;
        } else if (opt == "--crash") {
            const auto n = parseNumber<int>(value);
            if (!n || *n < 1 || *n > 1000000) {
                out.error = "--crash needs a number of cycles from 1 to 1000000, not \"" + value + "\"";
                return out;
            }
            o.crashCycles = *n;
        } else if (opt == "--seed") {
            o.seed = parseNumber<std::uint64_t>(value);
            if (!o.seed) {
                out.error = "--seed needs a whole number, not \"" + value + "\"";
                return out;
            }
        } else if (value.empty()) {
            out.error = opt + " needs a path";
            return out;
        } else if (opt == "--tavor1") {
            o.tavor1 = value;
        } else {
            o.keepDir = value;
        }
    }
    if (!o.help && o.jobs == 0 && o.crashCycles == 0)
        out.error = "--jobs or --crash is required";
    if (o.jobs > 0 && o.crashCycles > 0)
        out.error = "--jobs and --crash are two different runs: give one of them";
    return out;
}

std::string soakUsage()
{
    OptionParser options("tavor1-soak");
    addSoakOptions(options);
    return "Usage:\n"
           "  tavor1-soak --jobs N [--seed S] [--tavor1 PATH] [--keep-dir DIR] [--no-memory-check]\n"
           "  tavor1-soak --crash N [--seed S] [--tavor1 PATH] [--keep-dir DIR] [--no-charge-check]\n"
           "\n"
           "Runs tavor1 headless against a simulated register and payment service and\n"
           "sends it N jobs over its four channels, each with a fault picked at random\n"
           "(dropped connection, register errors, paper end, NAK, slow replies, payment\n"
           "refused or failing, request deleted by the host). After every job it checks\n"
           "that exactly one of FINESCO and SR_ERR came back, that nothing was printed\n"
           "twice, that a failed job keeps its SR_DATI and that tavor1 still runs; at the\n"
           "end, that tavor1's memory stayed flat. Exit status 0 only when all held.\n"
           "\n"
           "With --crash it runs N cycles instead: one sale each, cash or card, and tavor1\n"
           "killed (SIGKILL, sometimes SIGTERM) at a point picked from the seed: before or\n"
           "during the card payment, in mid-document, at or after the closing, between\n"
           "SR_OUT and FINESCO; then started again. A third of the cycles also carry a\n"
           "fault of the fault soak. The host resubmits the kept SR_DATI\n"
           "after an SR_ERR. After every cycle it checks that each go signal was answered\n"
           "exactly once, nothing was printed twice, no failure was reported as success,\n"
           "SR_DATI was kept on every failure, no document was left open on the register,\n"
           "tavor1 started every time, no sale was charged twice and every approval was\n"
           "printed or listed as not used. Every violation names its cycle, seed and kill\n"
           "point.\n"
           "\n" +
           options.optionsHelp(18);
}

} // namespace tavor1::soak
