#include "payment/SrOutFile.h"

#include "link/RegisterExchange.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"
#include "platform/Sinks.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

namespace tavor1 {

namespace {

constexpr std::string_view kPaymentHeading = "* ACQUISTO CON POS *";

class Tracer {
public:
    explicit Tracer(const SrOutContext& ctx) : m_ctx(ctx) {}
    bool on() const { return m_ctx.trace && m_ctx.trace->isTracing(); }
    void line(const std::string& text) const
    {
        if (!on())
            return;
        const Clock& clock = m_ctx.clock ? *m_ctx.clock : SystemClock::instance();
        m_ctx.trace->writeLine(traceTimestamp(clock) + " --> " + text);
    }

private:
    const SrOutContext& m_ctx;
};

} // namespace

std::string programVersionText(const ProgramVersion& version)
{
    return std::to_string(version.major) + "." + std::to_string(version.minor) + ".0." +
           std::to_string(version.revision);
}

void appendSrOutLine(std::string& out, std::string_view line)
{
    out.append(line);
    out.append("\r\n");
}

std::string matrLine(std::string_view serialNumber)
{
    return "MATR," + std::string(serialNumber) + ";";
}

bool hasPaymentBlock(std::string_view out)
{
    return out.find(std::string("\r\n") + std::string(kPaymentHeading) + "\r\n") != std::string_view::npos;
}

void appendPaymentBlock(std::string& out, const POSData& pos)
{
    if (pos.Comando.empty())
        return;
    appendSrOutLine(out, " ");
    appendSrOutLine(out, kPaymentHeading);
    appendSrOutLine(out, "COMANDO : " + pos.Comando);
    appendSrOutLine(out, "ESITO : " + pos.Esito);
    appendSrOutLine(out, "IMPORTO EUR " + pos.Importo);
    appendSrOutLine(out, "DATA  : " + pos.DataOperazione);
    appendSrOutLine(out, "DESCR. ERR       : " + pos.DescrErr);
    appendSrOutLine(out, "DESCR. ERR AGGI. : " + pos.DescrErrAggi);
    appendSrOutLine(out, "TerminalId : " + pos.TerminalId);
    appendSrOutLine(out, "AcquirerId : " + pos.AcquirerId);
    appendSrOutLine(out, "TransactionType : " + pos.TransactionType);
    appendSrOutLine(out, "TransactionResult : " + pos.TransactionResult);
    appendSrOutLine(out, "KODescription : " + pos.KODescription);
    appendSrOutLine(out, "CardType : " + pos.CardType);
    appendSrOutLine(out, "STAN : " + pos.STAN);
    appendSrOutLine(out, " PAN : " + pos.PAN);
    appendSrOutLine(out, "AuthorizationCode : " + pos.AuthorizationCode);
    appendSrOutLine(out, "OperationNumber : " + pos.OperationNumber);
    appendSrOutLine(out, "DataTrs : " + pos.DataTrs);
}

bool writeSrOutFile(std::string& out, const SrOutContext& ctx)
{
    if (!ctx.link || !ctx.options || !ctx.facts)
        return false;
    RegisterExchange& link = *ctx.link;
    const Tracer trace(ctx);
    auto closingCount = [&ctx] { return ctx.readClosingCount ? ctx.readClosingCount() : std::string(); };

    const std::string zText = closingCount();
    const std::string nextZ = zeroPad(leadingNumber(zText) + 1, 4);

    // The exchange replaces the payload only when a reply came: a refused
    // command must not be read through the previous command's reply.
    if (link.transmitCommand("1001") != ExchangeResult::Accepted)
        return false;
    const std::string clockReply = link.replyData();
    if (clockReply.size() < 14)
        return false;
    const std::size_t at = clockReply.find("1001");
    if (at == std::string::npos)
        return true;
    const std::string_view r = std::string_view(clockReply).substr(at);

    // r: "1001", then DDMMYY and hhmm.
    appendSrOutLine(out, "TIME,CASS. 1 " + mid(r, 11, 2) + ":" + mid(r, 13, 2) + " CASSA   1 ,E,A1;");
    std::string dateLine = "DATE," + mid(r, 5, 2) + "/" + mid(r, 7, 2) + "/" + mid(r, 9, 2);

    if (link.transmitCommand("1004") != ExchangeResult::Accepted)
        return true;
    const std::string totals = link.replyData();
    if (totals.size() >= 92 && totals.find("1004") != std::string::npos) {
        if (ctx.facts->registerIsRT)
            dateLine += std::string("  SCONTR. N.") + nextZ + "-" + mid(totals, 5, 4);
        else
            dateLine += "  SCONTR. N." + mid(totals, 5, 4);
    }
    dateLine += ",E,A1;";
    appendSrOutLine(out, dateLine);

    const std::string version = programVersionText(ctx.version);
    appendSrOutLine(out, "Versione: " + version);
    appendSrOutLine(out, "FW: " + ctx.facts->firmware);
    trace.line(dateLine);
    trace.line("Versione " + version);

    if (!ctx.options->chbDisabTotalizzatori) {
        const std::string gtot = "GTOT,V" + std::to_string(leadingNumber(mid(totals, 9, 9))) + ";";
        appendSrOutLine(out, gtot);
        trace.line(gtot);
        appendSrOutLine(out, ctx.readGrandTotal ? ctx.readGrandTotal() : std::string());
        appendSrOutLine(out, "NAZF,V" + zText + ";");
        // The trace asks the register again rather than repeat zText.
        if (trace.on())
            trace.line("NAZF,V" + closingCount() + ";");
    }

    if (ctx.pos)
        appendPaymentBlock(out, *ctx.pos);

    if (ctx.options->chbMatricola) {
        appendSrOutLine(out, matrLine(ctx.facts->serialNumber));
        trace.line("MATR," + ctx.facts->serialNumber);
    }
    return true;
}

} // namespace tavor1
