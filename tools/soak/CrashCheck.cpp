#include "soak/CrashCheck.h"

#include <cstdio>

namespace tavor1::soak {

namespace {

std::string goSignalName(std::size_t index, std::size_t count)
{
    if (count == 1)
        return "the go signal";
    return "go signal " + std::to_string(index + 1) + " of " + std::to_string(count);
}

std::string chargeList(const std::vector<Charge>& charges)
{
    std::string text;
    for (const Charge& c : charges)
        text += (text.empty() ? "" : ", ") + operationNumber(c.transactionId) + " aut. " + c.authorization + " (" +
                c.amount + " cents)";
    return text;
}

} // namespace

std::vector<std::string> checkCycle(const CycleObservation& o)
{
    std::vector<std::string> broken;
    auto fail = [&broken](std::string text) { broken.push_back(std::move(text)); };

    for (const std::string& failure : o.startFailures)
        fail("the driver did not start: " + failure);

    const std::size_t count = o.goSignals.size();
    bool finesco = false;
    for (std::size_t i = 0; i < count; ++i) {
        const GoSignalOutcome& g = o.goSignals[i];
        const std::string name = goSignalName(i, count);
        if (g.answers == 0)
            fail(name + " was never answered (expected FINESCO or SR_ERR)");
        if (g.answers > 1)
            fail(name + " was answered " + std::to_string(g.answers) + " times (expected once)");
        if (g.answers > 0 && !g.finesco && !g.srDatiKept)
            fail(name + " was answered \"" + g.srErrLine + "\" but SR_DATI was gone: the host cannot resubmit");
        if (g.srDatiLostBeforeResubmit)
            fail(name + " was answered \"" + g.srErrLine +
                 "\" with SR_DATI kept, but SR_DATI was gone before the host could resubmit");
        finesco = finesco || (g.answers > 0 && g.finesco);
    }

    if (finesco && o.marker.completed == 0)
        fail("FINESCO, but the sale is not printed: a failure reported as success (on the roll " +
             std::to_string(o.marker.total) + " times, none completed)");
    if (o.marker.completed > 1)
        fail("the sale is printed " + std::to_string(o.marker.completed) + " times (expected once)");
    for (int job : o.duplicatedJobs)
        fail("the marker of job " + std::to_string(job) + " is on the roll more than once");
    if (!o.documentLeftOpen.empty())
        fail("once recovered, the register still has a " + o.documentLeftOpen + " document open");
    return broken;
}

std::string operationNumber(int transactionId)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06d", transactionId % 1000000);
    return text;
}

std::vector<std::string> checkCharges(const SaleCharges& sale, const std::set<std::string>& notUsed)
{
    std::vector<std::string> broken;
    if (sale.charges.size() > 1)
        broken.push_back("the sale was charged " + std::to_string(sale.charges.size()) +
                         " times: " + chargeList(sale.charges));
    if (sale.cardSale && sale.printed && sale.charges.empty())
        broken.push_back("the card receipt is printed but the card was never charged");

    std::vector<Charge> unaccounted;
    for (std::size_t i = 0; i < sale.charges.size(); ++i) {
        const Charge& c = sale.charges[i];
        const bool usedByReceipt = sale.printed && i + 1 == sale.charges.size();
        if (!usedByReceipt && notUsed.count(c.authorization) == 0)
            unaccounted.push_back(c);
    }
    if (!unaccounted.empty())
        broken.push_back("approval " + chargeList(unaccounted) +
                         " is neither in a printed document nor listed as not used");
    return broken;
}

std::set<std::string> parseNotUsedApprovals(std::string_view history)
{
    static constexpr std::string_view kListed[] = {"APPROVAZIONE POS NON USATA", "APPROVAZIONE POS IN SOSPESO"};
    static constexpr std::string_view kCode = "aut. ";
    std::set<std::string> codes;
    std::size_t at = 0;
    while (at < history.size()) {
        std::size_t end = history.find('\n', at);
        if (end == std::string_view::npos)
            end = history.size();
        const std::string_view line = history.substr(at, end - at);
        at = end + 1;
        bool listed = false;
        for (std::string_view prefix : kListed)
            listed = listed || line.substr(0, prefix.size()) == prefix;
        const std::size_t code = line.find(kCode);
        if (!listed || code == std::string_view::npos)
            continue;
        const std::size_t from = code + kCode.size();
        const std::size_t to = line.find(',', from);
        if (to != std::string_view::npos && to > from)
            codes.insert(std::string(line.substr(from, to - from)));
    }
    return codes;
}

} // namespace tavor1::soak
