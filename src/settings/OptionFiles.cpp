#include "settings/OptionFiles.h"

#include "platform/ByteFiles.h"
#include "platform/NumberText.h"
#include "settings/IpAddress.h"
#include "settings/ListFields.h"

#include <cmath>
#include <optional>
#include <vector>

namespace tavor1 {

namespace {

constexpr const char* kChannelsFile = "TVCHKCOM.TXT";
constexpr const char* kTimerFile = "TVTIMER1.TXT";
constexpr const char* kXonXoffFile = "TVCHKXXS.TXT";
constexpr const char* kOptionsFile = "TVCHKSCO.TXT";

// Option files hold a few bytes; a file far larger is not one of ours and is
// treated as unreadable rather than parsed. Within a file, a line longer
// than any the program writes is junk and is skipped on its own.
constexpr std::size_t kOptionFileLimit = 1024 * 1024;
constexpr std::size_t kOptionLineLimit = 256;

// The entries of the connection time-out list "10 sec." .. "60 sec.".
constexpr int kTimeoutEntries = 6;
// The index an unselected or negative time-out takes ("30 sec.").
constexpr int kFallbackTimeoutIndex = 2;

// The bytes with every line longer than kOptionLineLimit replaced by a blank,
// which reads as an empty field, an unreadable value; the line stays, so
// that the lines after it keep their numbers (an empty line would not, after
// a lone CR). `skipped` gets the 1-based numbers of the replaced lines.
std::string withoutOverlongLines(std::string_view bytes, std::vector<std::size_t>& skipped)
{
    std::string out;
    std::size_t line = 1;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (end - start > kOptionLineLimit) {
            skipped.push_back(line);
            out += ' ';
        } else
            out.append(bytes.substr(start, end - start));
        // CR LF, a lone CR or a lone LF, as the list fields read them.
        std::size_t next = end;
        if (next < bytes.size())
            next += bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n' ? 2 : 1;
        out.append(bytes.substr(end, next - end));
        start = next;
        ++line;
    }
    return out;
}

// The list fields of an option file; empty when the file is absent or could
// not be read. A file that exists but cannot be read is reported once.
std::optional<std::vector<std::string>> readFields(const std::string& programDir, const char* name,
                                                   OptionFilesReport& report)
{
    const std::string path = joinPath(programDir, name);
    if (!fileExists(path))
        return std::nullopt;
    const auto bytes = readFileBytes(path, kOptionFileLimit);
    if (!bytes) {
        report.unreadable.emplace_back(name);
        report.problems.push_back(std::string(name) + ": file non leggibile, impostazioni lasciate ai valori"
                                                      " iniziali e file non riscritto all'uscita");
        return std::nullopt;
    }
    std::vector<std::size_t> skipped;
    const std::string kept = withoutOverlongLines(*bytes, skipped);
    if (!skipped.empty()) {
        std::string lines;
        for (const std::size_t n : skipped)
            lines += (lines.empty() ? "" : ", ") + std::to_string(n);
        report.problems.push_back(std::string(name) + ": " + (skipped.size() == 1 ? "riga " : "righe ") + lines +
                                  " ignorat" + (skipped.size() == 1 ? "a" : "e") + " (oltre " +
                                  std::to_string(kOptionLineLimit) + " caratteri)");
    }
    return readListFields(kept);
}

const char* flag(bool ticked)
{
    return ticked ? "1" : "0";
}

// A check box line is taken only when it holds one of the two values the
// program writes; anything else (an empty field from a stray comma, binary
// junk) is an unreadable value and leaves the control as it is. Among the
// readable ones, some lines tick only on an exact "1", others on a "1"
// with blanks around it (possible inside quotes).
void readFlag(const std::string& field, bool exact, bool& control)
{
    const std::string trimmed = Trim(field);
    if (trimmed != "0" && trimmed != "1")
        return;
    control = exact ? field == "1" : trimmed == "1";
}

void loadChannels(const std::string& programDir, Options& options, OptionFilesReport& report)
{
    const auto fields = readFields(programDir, kChannelsFile, report);
    if (!fields || fields->empty() || (*fields)[0].size() < 4) {
        options.channelEnabled = {true, true, true, true};
        return;
    }
    const std::string& value = (*fields)[0];
    // The program writes only 0 and 1 here; anything else is not an enable
    // pattern, and reading it would switch every channel off.
    for (int n = 0; n < 4; ++n)
        if (value[n] != '0' && value[n] != '1') {
            options.channelEnabled = {true, true, true, true};
            return;
        }
    for (int n = 0; n < 4; ++n)
        options.channelEnabled[n] = value[n] == '1';
}

void loadTimer(const std::string& programDir, Options& options, OptionFilesReport& report)
{
    const auto fields = readFields(programDir, kTimerFile, report);
    if (fields && !fields->empty())
        applyTimerValue((*fields)[0], options);
}

void loadXonXoff(const std::string& programDir, Options& options, OptionFilesReport& report)
{
    const auto fields = readFields(programDir, kXonXoffFile, report);
    if (!fields)
        return;
    double value = 0;
    options.chbConvXonXoff = !fields->empty() && parseDecimalNumber((*fields)[0], value) && value > 0;
}

void loadTimeoutIndex(const std::string& field, Options& options)
{
    double value = 0;
    if (!parseDecimalNumber(field, value) || value >= kTimeoutEntries)
        return;
    if (value < 0) {
        options.cboToutConn = kFallbackTimeoutIndex;
        return;
    }
    // A fraction is rounded as the list's index property would round it.
    const double index = std::nearbyint(value);
    if (index < kTimeoutEntries)
        options.cboToutConn = static_cast<int>(index);
}

void loadOtherOptions(const std::string& programDir, Options& options, OptionFilesReport& report)
{
    const auto fields = readFields(programDir, kOptionsFile, report);
    if (!fields) {
        options.cboToutConn = 1;
        return;
    }
    const std::vector<std::string>& f = *fields;
    constexpr bool exact = true;
    constexpr bool trimmed = false;
    // Each line read in turn; the first missing line ends the reading and
    // leaves that option and all later ones as they were.
    const std::size_t count = f.size();
    if (count < 2) return;
    readFlag(f[1], exact, options.chbTrace);
    if (count < 3) return;
    readFlag(f[2], exact, options.chkDisableDisplay);
    if (count < 4) return;
    if (validateIpAddress(f[3]))
        options.txtRemoteIP = f[3];
    if (count < 5) return;
    loadTimeoutIndex(f[4], options);
    if (count < 6) return;
    readFlag(f[5], exact, options.chkCodFisc);
    if (count < 7) return;
    readFlag(f[6], trimmed, options.OptNonFiscal);
    if (count < 8) return;
    readFlag(f[7], trimmed, options.chbPagamentiEstesi);
    if (count < 9) return;
    readFlag(f[8], trimmed, options.chbInversioneScontiSuReso);
    if (count < 10) return;
    readFlag(f[9], trimmed, options.chbAbilRistampaDaErroreSocket);
    if (count < 11) return;
    readFlag(f[10], trimmed, options.chbNoInviaApCassetto);
    if (count < 12) return;
    readFlag(f[11], trimmed, options.chbDisabTotalizzatori);
    if (count < 13) return;
    readFlag(f[12], trimmed, options.chkForzaIntestazioneFattura);
    if (count < 14) return;
    if (const std::string mode = Trim(f[13]); mode == "F" || mode == "S")
        options.OptionFAST = f[13] == "F";
    if (count < 15) return;
    readFlag(f[14], exact, options.CheckLogPagamento);
    if (count < 16) return;
    readFlag(f[15], exact, options.CheckStampaLogo);
    if (count < 17) return;
    readFlag(f[16], trimmed, options.chbMatricola);
    // Cleared before its line is read, so a file of 17 lines clears it.
    options.chbDescrizione = false;
    if (count < 18) return;
    readFlag(f[17], trimmed, options.chbDescrizione);
}

bool named(const std::vector<std::string>& names, const char* name)
{
    for (const std::string& n : names)
        if (n == name)
            return true;
    return false;
}

} // namespace

bool applyTimerValue(const std::string& text, Options& options)
{
    double x = 0;
    if (text.empty() || !parseDecimalNumber(text, x) || !(x > 0))
        return false;
    double box = x;
    if (x >= 100) {
        options.txtTimerVal = x <= 60000 ? text : "60000";
        box = x <= 60000 ? x : 60000;
        options.timerIntervalMs = static_cast<int>(std::lround(box));
    } else {
        options.txtTimerVal = x <= 60 ? text : "60";
        box = x <= 60 ? x : 60;
        options.timerIntervalMs = static_cast<int>(std::lround(box * 1000));
    }
    // Below one millisecond the poll timer would never tick.
    if (options.timerIntervalMs < 1)
        options.timerIntervalMs = 1;
    return true;
}

OptionFilesReport readOptionFiles(const std::string& programDir, Options& options)
{
    OptionFilesReport report;
    loadChannels(programDir, options, report);
    loadTimer(programDir, options, report);
    loadXonXoff(programDir, options, report);
    loadOtherOptions(programDir, options, report);
    return report;
}

OptionFilesReport loadOptionFiles(const std::string& programDir, Options& options)
{
    OptionFilesReport report = readOptionFiles(programDir, options);
    if (!named(report.unreadable, kTimerFile))
        saveTimerFile(programDir, options);
    return report;
}

bool saveTimerFile(const std::string& programDir, const Options& options)
{
    return replaceFileBytes(joinPath(programDir, kTimerFile), options.txtTimerVal + "\r\n");
}

std::string optionLines(const Options& o)
{
    const int timeout = o.cboToutConn >= 0 && o.cboToutConn < kTimeoutEntries ? o.cboToutConn : kFallbackTimeoutIndex;
    const std::string address = !o.txtRemoteIP.empty() && validateIpAddress(o.txtRemoteIP) ? o.txtRemoteIP : " ";
    std::string out;
    auto line = [&out](const std::string& text) { out.append(text).append("\r\n"); };
    line(flag(o.chbConvXonXoff));
    line(flag(o.chbTrace));
    line(flag(o.chkDisableDisplay));
    line(address);
    // A number is written with a blank before (its sign) and after it.
    line(" " + std::to_string(timeout) + " ");
    line(flag(o.chkCodFisc));
    line(flag(o.OptNonFiscal));
    line(flag(o.chbPagamentiEstesi));
    line(flag(o.chbInversioneScontiSuReso));
    line(flag(o.chbAbilRistampaDaErroreSocket));
    line(flag(o.chbNoInviaApCassetto));
    line(flag(o.chbDisabTotalizzatori));
    line(flag(o.chkForzaIntestazioneFattura));
    line(o.OptionFAST ? "F" : "S");
    line(flag(o.CheckLogPagamento));
    line(flag(o.CheckStampaLogo));
    line(flag(o.chbMatricola));
    line(flag(o.chbDescrizione));
    return out;
}

bool saveOptionFiles(const std::string& programDir, const Options& options, const std::vector<std::string>& keep)
{
    std::string channels = "0000";
    for (int n = 0; n < 4; ++n)
        if (options.channelEnabled[n])
            channels[n] = '1';
    bool ok = true;
    const auto save = [&](const char* name, const std::string& bytes) {
        if (!named(keep, name))
            ok = replaceFileBytes(joinPath(programDir, name), bytes) && ok;
    };
    save(kChannelsFile, channels + "\r\n");
    save(kXonXoffFile, std::string(flag(options.chbConvXonXoff)) + "\r\n");
    save(kOptionsFile, optionLines(options));
    return ok;
}

} // namespace tavor1
