#include "simulators/register/SimulatorOptions.h"

#include "platform/qt/OptionParser.h"

#include <charconv>

namespace tavor1::regsim {

namespace {

bool toInt(const std::string& text, int& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

std::vector<std::string> splitColon(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == ':')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// "*" stands for every command.
std::string commandPattern(const std::string& text)
{
    return text == "*" ? std::string() : text;
}

bool isCode(const std::string& code)
{
    return code.size() == 2;
}

void addSimulatorOptions(OptionParser& parser)
{
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addOption({"port"}, "N", {"port on 127.0.0.1 (default 9100; 0 picks a free one)"});
    parser.addOption({"serial"}, "S", {"the register's serial number"});
    parser.addFlag({"rt"}, {"a telematic register (RT), the default"});
    parser.addFlag({"mf"}, {"a register with fiscal memory only (MF)"});
    parser.addOption({"model"}, "N", {"the model code of the 1214 reply"});
    parser.addOption({"firmware"}, "TEXT", {"the firmware text"});
    parser.addOption({"latency"}, "MS", {"delay of every reply"});
    parser.addOption({"roll"}, "FILE", {"append the printed paper roll to FILE"});
    parser.addOption({"fail"}, "CMD:CODE[:TIMES]", {"answer \"ERR\" CODE (TIMES -1: always)"});
    parser.addOption({"fail-nth"}, "N:CODE", {"answer \"ERR\" CODE to the N-th frame"});
    parser.addOption({"paper-end"}, "POLLS", {"paper out for POLLS status polls (\"1009\")"});
    parser.addOption({"cover-open"}, "POLLS", {"cover open for POLLS status polls"});
    parser.addOption({"nak"}, "CMD[:TIMES]", {"answer NAK"});
    parser.addOption({"lone-ack"}, "CMD:MS[:TIMES]", {"answer ACK, then the reply after MS milliseconds"});
    parser.addOption({"silence"}, "CMD[:TIMES]", {"answer nothing"});
    parser.addOption({"drop-after"}, "N", {"drop the connection on the frame after the N-th"});
}

} // namespace

std::string simulatorUsage()
{
    OptionParser options("tavor1-regsim");
    addSimulatorOptions(options);
    return "usage: tavor1-regsim [--port N] [--serial S] [--rt|--mf] [--model N] [--firmware TEXT]\n"
           "                     [--latency MS] [--roll FILE] [faults...]\n"
           "faults: CMD is a message prefix such as 3011 or 31011; * is every command.\n"
           "The listening port is printed on the first line; the paper roll follows.\n"
           "\n" +
           options.optionsHelp(28);
}

bool parseSimulatorOptions(const std::vector<std::string>& args, SimulatorOptions& options, std::string& error)
{
    OptionParser parser("tavor1-regsim");
    addSimulatorOptions(parser);
    if (!parser.parse(args)) {
        error = parser.problem() == OptionParser::Problem::UnknownOption ? "unknown option " + parser.argument()
                                                                         : parser.message();
        return false;
    }
    if (!parser.words().empty()) {
        error = "unknown option " + parser.words().front();
        return false;
    }
    // Faults are kept in the order given: the first that matches a frame acts.
    for (const OptionParser::Occurrence& occurrence : parser.occurrences()) {
        const std::string name = "--" + occurrence.name;
        auto value = [&](std::string& out) {
            out = occurrence.value;
            return true;
        };
        auto number = [&](int& out, int least) {
            std::string text;
            if (!value(text))
                return false;
            if (!toInt(text, out) || out < least) {
                error = name + ": not a valid number: " + text;
                return false;
            }
            return true;
        };
        // CMD[:TIMES] and the like: fields after the first are numbers.
        auto fault = [&](FaultMode mode, bool needsSecond) {
            std::string text;
            if (!value(text))
                return false;
            const std::vector<std::string> parts = splitColon(text);
            Fault f;
            f.mode = mode;
            f.command = commandPattern(parts[0]);
            std::size_t next = 1;
            if (needsSecond) {
                if (parts.size() < 2) {
                    error = name + ": missing field in " + text;
                    return false;
                }
                if (mode == FaultMode::ErrorReply) {
                    f.code = parts[1];
                    if (!isCode(f.code)) {
                        error = name + ": the error code must have two characters: " + text;
                        return false;
                    }
                } else if (!toInt(parts[1], f.delayMs) || f.delayMs < 0) {
                    error = name + ": not a valid delay: " + text;
                    return false;
                }
                next = 2;
            }
            if (parts.size() > next + 1 || (parts.size() == next + 1 && (!toInt(parts[next], f.times) || f.times == 0 || f.times < -1))) {
                error = name + ": not a valid count: " + text;
                return false;
            }
            options.faults.push_back(std::move(f));
            return true;
        };

        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--port") {
            if (!number(options.port, 0))
                return false;
            if (options.port > 65535) {
                error = "--port: out of range";
                return false;
            }
        } else if (name == "--serial") {
            if (!value(options.config.serial))
                return false;
        } else if (name == "--rt") {
            options.config.rt = true;
        } else if (name == "--mf") {
            options.config.rt = false;
        } else if (name == "--model") {
            if (!number(options.config.modelCode, 0))
                return false;
        } else if (name == "--firmware") {
            if (!value(options.config.firmware))
                return false;
        } else if (name == "--latency") {
            if (!number(options.latencyMs, 0))
                return false;
        } else if (name == "--roll") {
            if (!value(options.rollFile))
                return false;
        } else if (name == "--fail") {
            if (!fault(FaultMode::ErrorReply, true))
                return false;
        } else if (name == "--fail-nth") {
            std::string text;
            if (!value(text))
                return false;
            const std::vector<std::string> parts = splitColon(text);
            Fault f;
            f.mode = FaultMode::ErrorReply;
            if (parts.size() != 2 || !toInt(parts[0], f.nthFrame) || f.nthFrame < 1 || !isCode(parts[1])) {
                error = "--fail-nth: expected N:CODE, got " + text;
                return false;
            }
            f.code = parts[1];
            options.faults.push_back(std::move(f));
        } else if (name == "--paper-end") {
            if (!number(options.paperEndPolls, 0))
                return false;
        } else if (name == "--cover-open") {
            if (!number(options.coverOpenPolls, 0))
                return false;
        } else if (name == "--nak") {
            if (!fault(FaultMode::Nak, false))
                return false;
        } else if (name == "--lone-ack") {
            if (!fault(FaultMode::LoneAck, true))
                return false;
        } else if (name == "--silence") {
            if (!fault(FaultMode::Silence, false))
                return false;
        } else if (name == "--drop-after") {
            Fault f;
            f.mode = FaultMode::DropConnection;
            if (!number(f.nthFrame, 0))
                return false;
            f.nthFrame += 1;
            options.faults.push_back(std::move(f));
        }
    }
    return true;
}

} // namespace tavor1::regsim
