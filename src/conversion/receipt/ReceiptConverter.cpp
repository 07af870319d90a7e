#include "conversion/receipt/ReceiptConverter.h"

#include "conversion/invoice/InvoiceConversion.h"
#include "conversion/invoice/KeySequence.h"
#include "conversion/language/RequestLanguage.h"
#include "conversion/language/VatRateTable.h"
#include "conversion/receipt/ReceiptConversion.h"
#include "platform/ByteFiles.h"
#include "platform/NativePath.h"
#include "settings/DocumentFiles.h"

#include <filesystem>
#include <system_error>

namespace tavor1 {

namespace {

constexpr const char* kCommandListName = "KB.txt";
constexpr const char* kKeySequenceWorkName = "tempSL.txt";
// Width and layout the invoice rewriting is always asked for.
constexpr std::int16_t kInvoiceWidth = 32;
constexpr int kInvoiceCopyPauseMs = 200;

const Clock& clockOf(const ConversionContext& ctx) { return ctx.clock != nullptr ? *ctx.clock : SystemClock::instance(); }

void traceLine(const ConversionContext& ctx, const std::string& text)
{
    if (ctx.trace != nullptr && ctx.trace->isTracing())
        ctx.trace->writeLine(traceTimestamp(clockOf(ctx)) + text);
}

// Ends a conversion without a command list. A list left by an earlier job
// goes too, so that nothing can ever send it for this request.
int noCommandList(const ConversionContext& ctx, ConversionResult& result, const std::string& reason)
{
    if (result.failureReason.empty()) result.failureReason = reason;
    removeFile(joinPath(ctx.dataDir, kCommandListName));
    traceLine(ctx, " --> ConvertRequestFile: " + result.failureReason);
    return 1;
}

std::uintmax_t fileSize(const std::string& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(nativePath(path), ec);
    return ec ? 0 : size;
}

// The request's lines, or an empty optional (reason set) when it cannot be read.
std::optional<Document> readRequest(const std::string& path, const ConversionContext& ctx, ConversionResult& result)
{
    if (fileSize(path) > ctx.maxRequestBytes) {
        result.failureReason = "il file della richiesta supera " + std::to_string(ctx.maxRequestBytes) + " byte";
        return std::nullopt;
    }
    try {
        return readDocument(path);
    } catch (const DocumentError& e) {
        result.failureReason = "lettura della richiesta non riuscita: " + e.description();
        return std::nullopt;
    }
}

void traceRequest(const ConversionContext& ctx, const Document& lines)
{
    if (!ctx.options.chbTrace || ctx.trace == nullptr || !ctx.trace->isTracing()) return;
    const Clock& clock = clockOf(ctx);
    ctx.trace->writeLine(traceTimestamp(clock) + " -------------- SR_Dati -------------------------- ");
    for (const auto& line : lines)
        ctx.trace->writeLine(traceTimestamp(clock) + " --> " + line);
    ctx.trace->writeLine(traceTimestamp(clock) + " -------------------------------------------------- ");
}

// Rewrites an invoice request in place into receipt courtesy lines. The copy
// beside it (".txt" appended) is what the rewriting reads.
bool rewriteInvoice(const std::string& requestPath, const ConversionContext& ctx, ConversionResult& result,
                    std::int64_t& invoiceTotal)
{
    const std::string copyPath = requestPath + ".txt";
    auto bytes = readFileBytes(requestPath, ctx.maxRequestBytes);
    if (!bytes || !writeFileBytes(copyPath, *bytes)) {
        result.failureReason = "copia della fattura non riuscita";
        return false;
    }
    if (ctx.pause) ctx.pause(kInvoiceCopyPauseMs);

    VatRateTable rates;
    for (int i = 0; i < VatRateTable::kStoredRates; ++i) rates.setRate(i, ctx.vatRates[static_cast<std::size_t>(i)]);
    NullTraceSink noTrace;
    InvoiceEnvironment env{rates, clockOf(ctx), ctx.trace != nullptr ? *ctx.trace : static_cast<TraceSink&>(noTrace)};
    InvoiceHandover handover;
    handover.invoiceTextMode = result.invoiceTextMode;
    const bool ok = convertInvoiceToReceipt(copyPath, requestPath, kInvoiceWidth, true, true, true, env, handover);
    if (!ok) {
        result.failureReason = "conversione della fattura non riuscita (aliquota IVA non in tabella o file non leggibile)";
        return false;
    }
    result.invoiceTextMode = result.invoiceTextMode || handover.invoiceTextMode;
    invoiceTotal = handover.invoiceTotal;
    return true;
}

void resetResult(ConversionResult& result)
{
    const bool invoiceTextMode = result.invoiceTextMode;
    result = ConversionResult{};
    result.invoiceTextMode = invoiceTextMode;
}

} // namespace

int convertRequestLines(const std::vector<std::string>& lines, const ConversionContext& ctx, ConversionResult& result)
{
    resetResult(result);
    ReceiptConversion conversion(ctx, result);
    return conversion.run(lines) ? 0 : 1;
}

int convertRequestFile(const std::string& requestPath, const ConversionContext& ctx, ConversionResult& result)
{
    resetResult(result);
    std::string request = requestPath;

    if (ctx.options.chbConvXonXoff) {
        const std::string workPath = joinPath(ctx.dataDir, kKeySequenceWorkName);
        if (!convertKeySequenceFile(requestPath, workPath))
            return noCommandList(ctx, result, "conversione da XonXoff non riuscita (richiesta assente o vuota)");
        request = workPath;
    }

    if (!fileExists(request)) {
        if (ctx.messages != nullptr) ctx.messages->showMessage("Il file SR_DATI non esiste");
        return noCommandList(ctx, result, "Il file SR_DATI non esiste");
    }

    std::int64_t invoiceTotal = 0;
    if (ctx.options.OptFiscal() && !ctx.options.chbConvXonXoff) {
        auto first = readRequest(request, ctx, result);
        if (!first) return noCommandList(ctx, result, result.failureReason);
        if (!first->empty() && startsWithWord(first->front(), "OPFS")) {
            if (!rewriteInvoice(request, ctx, result, invoiceTotal)) return noCommandList(ctx, result, result.failureReason);
        }
    }

    if (fileSize(request) == 0) return noCommandList(ctx, result, "il file della richiesta e' vuoto");
    const std::string commandListPath = joinPath(ctx.dataDir, kCommandListName);
    // A list left from an earlier job must never be sent for this one.
    if (fileExists(commandListPath) && !removeFile(commandListPath))
        return noCommandList(ctx, result, "impossibile cancellare il vecchio KB.txt");

    auto lines = readRequest(request, ctx, result);
    if (!lines) return noCommandList(ctx, result, result.failureReason);
    traceRequest(ctx, *lines);

    ReceiptConversion conversion(ctx, result, invoiceTotal);
    if (!conversion.run(*lines)) return noCommandList(ctx, result, result.failureReason);

    try {
        writeDocument(commandListPath, result.commands, false);
    } catch (const DocumentError& e) {
        removeFile(commandListPath);
        return noCommandList(ctx, result, "scrittura di KB.txt non riuscita: " + e.description());
    }
    if (!fileExists(commandListPath)) return noCommandList(ctx, result, "KB.txt non e' stato scritto");
    return 0;
}

} // namespace tavor1
