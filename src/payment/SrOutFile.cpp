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
        m_ctx.trace->writeLine(CurrDateTime(clock) + " --> " + text);
    }

private:
    const SrOutContext& m_ctx;
};

} // namespace

std::string ProgramVersionText(const ProgramVersion& version)
{
    return std::to_string(version.major) + "." + std::to_string(version.minor) + ".0." +
           std::to_string(version.revision);
}

void AppendSrOutLine(std::string& out, std::string_view line)
{
    out.append(line);
    out.append("\r\n");
}

std::string MatrLine(std::string_view serialNumber)
{
    return "MATR," + std::string(serialNumber) + ";";
}

bool HasPaymentBlock(std::string_view out)
{
    return out.find(std::string("\r\n") + std::string(kPaymentHeading) + "\r\n") != std::string_view::npos;
}

void AppendPaymentBlock(std::string& out, const POSData& pos)
{
    if (pos.Comando.empty())
        return;
    AppendSrOutLine(out, " ");
    AppendSrOutLine(out, kPaymentHeading);
    AppendSrOutLine(out, "COMANDO : " + pos.Comando);
    AppendSrOutLine(out, "ESITO : " + pos.Esito);
    AppendSrOutLine(out, "IMPORTO EUR " + pos.Importo);
    AppendSrOutLine(out, "DATA  : " + pos.DataOperazione);
    AppendSrOutLine(out, "DESCR. ERR       : " + pos.DescrErr);
    AppendSrOutLine(out, "DESCR. ERR AGGI. : " + pos.DescrErrAggi);
    AppendSrOutLine(out, "TerminalId : " + pos.TerminalId);
    AppendSrOutLine(out, "AcquirerId : " + pos.AcquirerId);
    AppendSrOutLine(out, "TransactionType : " + pos.TransactionType);
    AppendSrOutLine(out, "TransactionResult : " + pos.TransactionResult);
    AppendSrOutLine(out, "KODescription : " + pos.KODescription);
    AppendSrOutLine(out, "CardType : " + pos.CardType);
    AppendSrOutLine(out, "STAN : " + pos.STAN);
    AppendSrOutLine(out, " PAN : " + pos.PAN);
    AppendSrOutLine(out, "AuthorizationCode : " + pos.AuthorizationCode);
    AppendSrOutLine(out, "OperationNumber : " + pos.OperationNumber);
    AppendSrOutLine(out, "DataTrs : " + pos.DataTrs);
}

bool CreateSrOut_File(std::string& out, const SrOutContext& ctx)
{
    if (!ctx.link || !ctx.options || !ctx.facts)
        return false;
    RegisterExchange& link = *ctx.link;
    const Tracer trace(ctx);
    auto numeroAzzeramenti = [&ctx] {
        return ctx.readNumeroAzzeramenti ? ctx.readNumeroAzzeramenti() : std::string();
    };

    const std::string zText = numeroAzzeramenti();
    const std::string nextZ = ZeroPad(LeadingNumber(zText) + 1, 4);

    // The exchange replaces the payload only when a reply came: a refused
    // command must not be read through the previous command's reply.
    if (link.TrasmettiStringa("1001") != ExchangeResult::Accepted)
        return false;
    const std::string clockReply = link.ReplyData();
    if (clockReply.size() < 14)
        return false;
    const std::size_t at = clockReply.find("1001");
    if (at == std::string::npos)
        return true;
    const std::string_view r = std::string_view(clockReply).substr(at);

    // r: "1001", then DDMMYY and hhmm.
    AppendSrOutLine(out, "TIME,CASS. 1 " + Mid(r, 11, 2) + ":" + Mid(r, 13, 2) + " CASSA   1 ,E,A1;");
    std::string dateLine = "DATE," + Mid(r, 5, 2) + "/" + Mid(r, 7, 2) + "/" + Mid(r, 9, 2);

    if (link.TrasmettiStringa("1004") != ExchangeResult::Accepted)
        return true;
    const std::string totals = link.ReplyData();
    if (totals.size() >= 92 && totals.find("1004") != std::string::npos) {
        if (ctx.facts->RegisterIsRT)
            dateLine += std::string("  SCONTR. N.") + nextZ + "-" + Mid(totals, 5, 4);
        else
            dateLine += "  SCONTR. N." + Mid(totals, 5, 4);
    }
    dateLine += ",E,A1;";
    AppendSrOutLine(out, dateLine);

    const std::string version = ProgramVersionText(ctx.version);
    AppendSrOutLine(out, "Versione: " + version);
    AppendSrOutLine(out, "FW: " + ctx.facts->firmware);
    trace.line(dateLine);
    trace.line("Versione " + version);

    if (!ctx.options->chbDisabTotalizzatori) {
        const std::string gtot = "GTOT,V" + std::to_string(LeadingNumber(Mid(totals, 9, 9))) + ";";
        AppendSrOutLine(out, gtot);
        trace.line(gtot);
        AppendSrOutLine(out, ctx.readGranTotale ? ctx.readGranTotale() : std::string());
        AppendSrOutLine(out, "NAZF,V" + zText + ";");
        // The trace asks the register again rather than repeat zText.
        if (trace.on())
            trace.line("NAZF,V" + numeroAzzeramenti() + ";");
    }

    if (ctx.pos)
        AppendPaymentBlock(out, *ctx.pos);

    if (ctx.options->chbMatricola) {
        AppendSrOutLine(out, MatrLine(ctx.facts->serialNumber));
        trace.line("MATR," + ctx.facts->serialNumber);
    }
    return true;
}

} // namespace tavor1
