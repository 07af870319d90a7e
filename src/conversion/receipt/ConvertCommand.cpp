#include "conversion/receipt/ConvertCommand.h"

#include "conversion/language/VatRateTable.h"
#include "conversion/receipt/ReceiptConverter.h"
#include "platform/ByteFiles.h"
#include "platform/NativePath.h"
#include "settings/OptionFiles.h"

#include <filesystem>
#include <ostream>
#include <string_view>
#include <vector>

namespace tavor1 {

namespace {

// Keeps what would have been a message box for the one error line.
class CollectingMessages final : public MessageSink {
public:
    void showMessage(const std::string& text) override { last = text; }
    std::string last;
};

bool readNumber(std::string_view text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 6) return false;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high) return false;
    value = n;
    return true;
}

std::string parentDirectory(const std::string& path)
{
    std::string dir = utf8Path(nativePath(path).parent_path());
    return dir.empty() ? std::string(".") : dir;
}

} // namespace

std::string convertUsage()
{
    return "usage: tavor1 convert REQUEST [--data-dir DIR] [--config-dir DIR] [--rt] [--model N] [--serial S]\n"
           "                      [--channel N]\n"
           "\n"
           "Converts the request file REQUEST (an SR_DATI file) into the register's commands as the\n"
           "driver does, writes them to KB.txt in the data directory and prints them, one a line.\n"
           "\n"
           "  --data-dir DIR    where KB.txt (and tempSL.txt) are written; default: REQUEST's folder\n"
           "  --config-dir DIR  folder of the option files and TVVALIVA.txt; default: the current folder\n"
           "  --rt              the register is telematic (RT)\n"
           "  --model N         register model code (2, 3 or 4 print the customer's tax code)\n"
           "  --serial S        the register's own serial number\n"
           "  --channel N       channel 1 to 4 (default 1)\n"
           "\n"
           "Exit code 0 with the command list; 1 when the request does not convert (the reason on\n"
           "standard error); 2 for a wrong command line.\n";
}

int runConvertCommand(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> args(argv + (argc > 2 ? 2 : argc), argv + argc);
    std::string request;
    std::string dataDir;
    std::string configDir = ".";
    ConversionContext ctx;

    auto usageError = [&](const std::string& what) {
        err << "tavor1 convert: " << what << "\n" << convertUsage();
        return 2;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            out << convertUsage();
            return 0;
        } else if (a == "--rt") {
            ctx.facts.registerIsRT = true;
        } else if (a == "--data-dir" || a == "--config-dir" || a == "--serial" || a == "--model" || a == "--channel") {
            if (!hasValue) return usageError(a + " wants a value");
            const std::string& v = args[++i];
            if (a == "--data-dir") dataDir = v;
            else if (a == "--config-dir") configDir = v;
            else if (a == "--serial") ctx.facts.serialNumber = v;
            else if (a == "--model" && !readNumber(v, 0, 99999, ctx.facts.modelCode)) return usageError("--model wants a number");
            else if (a == "--channel" && !readNumber(v, 1, 4, ctx.channel)) return usageError("--channel wants 1 to 4");
        } else if (!a.empty() && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (request.empty()) {
            request = a;
        } else {
            return usageError("only one REQUEST");
        }
    }
    if (request.empty()) return usageError("REQUEST missing");

    ctx.dataDir = dataDir.empty() ? parentDirectory(request) : dataDir;
    // Loading settles the poll interval into TVTIMER1.TXT; a conversion must
    // not leave that file behind where there was none.
    const std::string timerFile = joinPath(configDir, "TVTIMER1.TXT");
    const bool hadTimerFile = fileExists(timerFile);
    loadOptionFiles(configDir, ctx.options);
    if (!hadTimerFile) removeFile(timerFile);
    VatRateTable rates;
    rates.loadVatRates(configDir);
    ctx.vatRates = rates.rates();
    CollectingMessages messages;
    ctx.messages = &messages;

    ConversionResult result;
    if (convertRequestFile(request, ctx, result) != 0) {
        const std::string& why = !result.failureReason.empty() ? result.failureReason : messages.last;
        err << "tavor1 convert: " << (why.empty() ? std::string("la richiesta non si converte") : why) << "\n";
        return 1;
    }
    for (const auto& command : result.commands) out << command << "\n";
    return 0;
}

} // namespace tavor1
