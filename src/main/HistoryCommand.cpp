#include "main/HistoryCommand.h"

#include "exchange/ApprovalReuse.h"
#include "platform/ByteFiles.h"
#include "platform/qt/OptionParser.h"

#include <ostream>

namespace tavor1 {

namespace {

void addHistoryOptions(OptionParser& parser)
{
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addOption({"data-dir"}, "DIR", {"the data directory whose journal is read"});
    parser.addOption({"n"}, "N", {"how many of the last jobs to print (default 20)"});
}

} // namespace

HistoryArgs parseHistoryArgs(const std::vector<std::string>& argv)
{
    HistoryArgs a;
    OptionParser parser("tavor1 history");
    addHistoryOptions(parser);
    if (!parser.parse(argv)) {
        a.error = parser.problem() == OptionParser::Problem::UnknownOption ? "unknown argument " + parser.argument()
                                                                           : parser.message();
        return a;
    }
    if (!parser.words().empty()) {
        a.error = "unknown argument " + parser.words().front();
        return a;
    }
    for (const OptionParser::Occurrence& o : parser.occurrences()) {
        const std::string& v = o.value;
        if (o.name == "help") {
            a.help = true;
        } else if (o.name == "data-dir") {
            if (v.empty()) {
                a.error = "--data-dir needs a directory";
                return a;
            }
            a.dataDir = v;
        } else if (o.name == "n") {
            std::size_t n = 0;
            bool digits = !v.empty() && v.size() <= 9;
            for (char c : v) {
                digits = digits && c >= '0' && c <= '9';
                n = n * 10 + static_cast<std::size_t>(c - '0');
            }
            if (!digits || n == 0) {
                a.error = "-n needs a number of jobs above 0";
                return a;
            }
            a.count = n;
        }
    }
    return a;
}

std::string historyLine(const JournalJob& job)
{
    std::string line = job.acceptedAt + "  COM" + std::to_string(job.channel) + "  job " + std::to_string(job.id);
    if (job.hasOutcome) {
        line += "  " + codeText(job.result) + " " + job.resultText;
        if (!job.receiptNumber.empty())
            line += "  receipt " + job.receiptNumber;
    } else {
        line += "  in flight (interrupted; settled at the next start)";
    }
    if (job.cardApproved) {
        line += "  card " + job.cardAmount;
        const std::string& pan = job.pos[posFieldIndex("PAN")];
        const std::string& auth = job.pos[posFieldIndex("AuthorizationCode")];
        if (!pan.empty())
            line += " " + pan;
        if (!auth.empty())
            line += " auth " + auth;
    }
    if (job.settled)
        line += "  [settled at start-up]";
    if (job.unanswered())
        line += "  [answer not written]";
    if (job.documentStillOpen())
        line += "  [document left open on the register]";
    else if (job.leftOpen && job.cancelled)
        line += "  [document left open: cleared]";
    return line;
}

std::string historyUsage()
{
    OptionParser options("tavor1 history");
    addHistoryOptions(options);
    return "Usage:\n"
           "  tavor1 history [--data-dir DIR] [-n N]\n"
           "\n"
           "Prints the last N jobs (default 20) of the data directory's job journal, oldest\n"
           "first: time, channel, job number, outcome code and text, receipt number and card\n"
           "payment. Reads only; no driver is started.\n"
           "\n" +
           options.optionsHelp(18) +
           "\n"
           "Then, for every card approval of the journal that no printed document used:\n"
           "  APPROVAZIONE POS NON USATA ...   given up (a new request on its channel, or\n"
           "                                   the retry came too late): to be refunded\n"
           "  APPROVAZIONE POS IN SOSPESO ...  its sale failed; a retry of the unchanged\n"
           "                                   SR_DATI on its channel still uses it\n";
}

int runHistoryCommand(const std::vector<std::string>& argv,
                      const std::function<std::string(const std::optional<std::string>&)>& dataDirFor,
                      std::ostream& out, std::ostream& err)
{
    const HistoryArgs args = parseHistoryArgs(argv);
    if (!args.error.empty()) {
        err << "tavor1 history: " << args.error << "\n\n" << historyUsage();
        return 2;
    }
    if (args.help) {
        out << historyUsage();
        return 0;
    }
    const std::string dataDir = dataDirFor(args.dataDir);
    if (!isDirectory(dataDir)) {
        err << "tavor1 history: " << dataDir << " is not a directory\n";
        return 1;
    }
    const JournalReplay journal = JobJournal::read(dataDir);
    if (journal.jobs.empty()) {
        out << "no jobs recorded in " << dataDir << "\n";
        return 0;
    }
    const std::size_t from = journal.jobs.size() > args.count ? journal.jobs.size() - args.count : 0;
    for (std::size_t i = from; i < journal.jobs.size(); ++i)
        out << historyLine(journal.jobs[i]) << "\n";
    // Approvals given up or still waiting for their retry, whatever -n says:
    // the shop refunds the ones not used.
    for (const std::string& line : approvalHistoryLines(journal))
        out << line << "\n";
    if (journal.damagedRecords > 0)
        err << "tavor1 history: " << journal.damagedRecords << " damaged journal record(s) skipped\n";
    return 0;
}

} // namespace tavor1
