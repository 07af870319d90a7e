#include "soak/JobCheck.h"

#include <cstdio>

namespace tavor1::soak {

namespace {

// SR_OUT names the printed receipt on its DATE line: "SCONTR. N." and, on a
// telematic register, the closing number and "-" before the receipt's four digits.
bool srOutNamesReceipt(const std::string& srOut, int number)
{
    const std::string tag = "SCONTR. N.";
    const std::size_t at = srOut.find(tag);
    if (at == std::string::npos)
        return false;
    const std::size_t end = srOut.find(',', at);
    const std::string named = srOut.substr(at + tag.size(), end == std::string::npos ? std::string::npos : end - at - tag.size());
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number % 10000);
    return named.size() >= 4 && named.compare(named.size() - 4, 4, digits) == 0;
}

} // namespace

std::vector<std::string> checkJob(const JobObservation& o)
{
    std::vector<std::string> broken;
    auto fail = [&broken](std::string text) { broken.push_back(std::move(text)); };

    if (!o.driverAlive)
        fail("tavor1 is no longer running");
    if (!o.ended) {
        fail("no FINESCO or SR_ERR within the time limit (SR_START " + std::string(o.srStart ? "still there" : "gone")
             + ")");
        return broken;
    }
    if (o.srStart)
        fail("SR_START is still there after the answer");
    if (o.finesco == o.srErr)
        fail(o.finesco ? "both FINESCO and SR_ERR" : "neither FINESCO nor SR_ERR");

    if (o.finesco && o.finescoBytes != "finesco")
        fail("FINESCO does not hold \"finesco\"");
    if (o.srErr && !o.finesco) {
        const std::string& e = o.srErrBytes;
        const bool oneLine = e.size() > 2 && e.compare(e.size() - 2, 2, "\r\n") == 0 && e.find('\n') == e.size() - 1;
        if (!oneLine)
            fail("SR_ERR is not one line ended by CR LF");
        if (!o.srDati && !o.requestDeletedByHost)
            fail("SR_DATI is gone although the job failed");
    }

    for (int job : o.duplicatedJobs)
        fail("the marker of job " + std::to_string(job) + " is on the roll more than once");
    if (o.marker.total > 1)
        fail("the job's marker is on the roll " + std::to_string(o.marker.total) + " times");

    if (o.finesco && !o.srErr) {
        if (o.marker.completed != 1 || o.marker.total != 1)
            fail("FINESCO, but the document is not on the roll exactly once (printed "
                 + std::to_string(o.marker.completed) + ", on the roll " + std::to_string(o.marker.total) + ")");
        if (o.srDati)
            fail("FINESCO, but SR_DATI is still there");
        if (o.marker.receiptNumber > 0 && !srOutNamesReceipt(o.srOutBytes, o.marker.receiptNumber))
            fail("FINESCO, but SR_OUT does not name receipt " + std::to_string(o.marker.receiptNumber));
        if (o.expectation == Expectation::Failure)
            fail("FINESCO, but this fault must make the job fail");
    }
    if (o.srErr && !o.finesco) {
        // The host is told the document failed and will send it again. The
        // register's journal warnings on the last line are the exception:
        // they are passed on as the job's answer by design.
        const bool journalWarning = o.srErrBytes.rfind("E507", 0) == 0 || o.srErrBytes.rfind("E508", 0) == 0;
        if (o.marker.completed > 0 && !journalWarning)
            fail("SR_ERR, but the document was printed: the host would print it again");
        if (o.expectation == Expectation::Success)
            fail("SR_ERR, but this fault must not make the job fail");
    }
    return broken;
}

} // namespace tavor1::soak
