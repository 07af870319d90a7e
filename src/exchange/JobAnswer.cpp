#include "exchange/JobAnswer.h"

#include "exchange/ExchangeFiles.h"

#include <system_error>
#include <vector>

namespace tavor1 {

namespace {

enum class Step {
    WriteOutput, // SR_OUT kept from the job
    ClearError, // no SR_ERR may stand beside FINESCO
    ClearRequest, // SR_DATI of a printed request; once, a failure is only logged
    WriteError, // the SR_ERR line
    ConsumeGoSignal, // SR_START; a failure is remembered by identity, the answer goes on
    WriteFinesco,
};

std::vector<Step> stepsOf(const JobAnswer& answer)
{
    std::vector<Step> steps;
    if (answer.output)
        steps.push_back(Step::WriteOutput);
    if (answer.success)
        steps.insert(steps.end(), {Step::ClearError, Step::ClearRequest, Step::ConsumeGoSignal, Step::WriteFinesco});
    else
        steps.insert(steps.end(), {Step::WriteError, Step::ConsumeGoSignal});
    return steps;
}

// Runs one step; false when it must be tried again later. why names the
// file and the reason.
bool runStep(Step step, const ExchangeFiles& files, const JobAnswer& answer, std::optional<FileIdentity>& stuckGoSignal,
             std::string& why)
{
    const int n = answer.channel;
    std::error_code ec;
    auto failed = [&](ExchangeFile file) {
        why = exchangeFileName(file, n) + ": " + ec.message();
        return false;
    };
    switch (step) {
    case Step::WriteOutput:
        return files.writeResult(ExchangeFile::SR_OUT, n, *answer.output, ec) || failed(ExchangeFile::SR_OUT);
    case Step::ClearError:
        // The familiar log line on the first attempt only.
        if (answer.attempts == 1 ? files.deleteErrFile(n) : files.removeQuietly(ExchangeFile::SR_ERR, n, ec))
            return true;
        why = exchangeFileName(ExchangeFile::SR_ERR, n) + ": " + (ec ? ec.message() : "non cancellato");
        return false;
    case Step::ClearRequest:
        files.deleteDatiFile(n);
        return true;
    case Step::WriteError:
        return files.writeResult(ExchangeFile::SR_ERR, n, answer.errorLine + "\r\n", ec) ||
               failed(ExchangeFile::SR_ERR);
    case Step::ConsumeGoSignal:
        if (!files.killStartFile(n))
            stuckGoSignal = fileIdentity(files.path(ExchangeFile::SR_START, n));
        return true;
    case Step::WriteFinesco:
        return files.writeResult(ExchangeFile::FINESCO, n, kFinescoContent, ec) || failed(ExchangeFile::FINESCO);
    }
    return true;
}

} // namespace

AnswerProgress deliverJobAnswer(const ExchangeFiles& files, JobAnswer& answer,
                                std::optional<FileIdentity>& stuckGoSignal)
{
    if (!isValidChannel(answer.channel))
        return AnswerProgress::Delivered;
    ++answer.attempts;
    const std::vector<Step> steps = stepsOf(answer);
    for (; answer.nextStep < static_cast<int>(steps.size()); ++answer.nextStep) {
        std::string why;
        if (!runStep(steps[static_cast<std::size_t>(answer.nextStep)], files, answer, stuckGoSignal, why)) {
            // Once, not at every poll: the log shares the directory that
            // refuses the answer, and a poll may come every second.
            if (answer.attempts == 1)
                files.log("Risposta canale " + std::to_string(answer.channel) + " non scritta (" + why +
                          "): nuovo tentativo a ogni ciclo");
            return AnswerProgress::Pending;
        }
    }
    if (answer.attempts > 1)
        files.log("Risposta canale " + std::to_string(answer.channel) + " scritta al tentativo " +
                  std::to_string(answer.attempts));
    return AnswerProgress::Delivered;
}

} // namespace tavor1
