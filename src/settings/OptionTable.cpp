#include "settings/OptionTable.h"

#include "platform/NumberText.h"
#include "settings/IpAddress.h"
#include "settings/OptionFiles.h"

#include <algorithm>
#include <cctype>

namespace tavor1 {

namespace {

constexpr const char* kTimeoutEntries[] = {"10 sec.", "20 sec.", "30 sec.", "40 sec.", "50 sec.", "60 sec."};

std::string setFlag(bool& flag, const std::string& value)
{
    const std::string v = Trim(value);
    if (v == "1")
        flag = true;
    else if (v == "0")
        flag = false;
    else
        return "vuole 0 o 1, non \"" + value + "\"";
    return {};
}

template <bool Options::*Member> OptionRow checkBox(const char* name, const char* caption)
{
    return {name, caption, "TVCHKSCO.TXT", [](const Options& o) -> std::string { return o.*Member ? "1" : "0"; },
            [](Options& o, const std::string& v) { return setFlag(o.*Member, v); }};
}

template <int Channel> OptionRow channel()
{
    const std::string name = "Check" + std::to_string(Channel);
    return {name, "COM" + std::to_string(Channel), "TVCHKCOM.TXT",
            [](const Options& o) -> std::string { return o.channelEnabled[Channel - 1] ? "1" : "0"; },
            [](Options& o, const std::string& v) {
                bool on = false;
                std::string error = setFlag(on, v);
                if (error.empty())
                    o.channelEnabled[Channel - 1] = on;
                return error;
            }};
}

std::string setAddress(Options& o, const std::string& value)
{
    const std::string v = Trim(value);
    // An empty value clears the address, as an empty box does.
    if (!v.empty() && !validateIpAddress(v))
        return "\"" + value + "\" non e' un indirizzo IPv4 valido (quattro numeri da 0 a 255 separati da punti)";
    o.txtRemoteIP = v;
    return {};
}

std::string setTimeout(Options& o, const std::string& value)
{
    const std::string v = Trim(value);
    for (int i = 0; i < 6; ++i) {
        const std::string entry = kTimeoutEntries[i];
        if (v == entry || v == entry.substr(0, 2)) {
            o.cboToutConn = i;
            return {};
        }
    }
    return "vuole una voce della lista: 10, 20, 30, 40, 50 o 60 (secondi), non \"" + value + "\"";
}

std::string setTimer(Options& o, const std::string& value)
{
    Options probe = o;
    if (!applyTimerValue(Trim(value), probe) || probe.txtTimerVal != Trim(value))
        return "vuole un numero da 1 a 60 (secondi) o da 100 a 60000 (millisecondi), non \"" + value + "\"";
    o = probe;
    return {};
}

std::vector<OptionRow> buildRows()
{
    std::vector<OptionRow> rows = {channel<1>(), channel<2>(), channel<3>(), channel<4>()};
    rows.push_back({"txtTimerVal", "Valore del timer in secondi", "TVTIMER1.TXT",
                    [](const Options& o) { return o.txtTimerVal; }, setTimer});
    rows.push_back({"chbConvXonXoff", "Conversione da XonXoff", "TVCHKXXS.TXT",
                    [](const Options& o) -> std::string { return o.chbConvXonXoff ? "1" : "0"; },
                    [](Options& o, const std::string& v) { return setFlag(o.chbConvXonXoff, v); }});
    rows.push_back(checkBox<&Options::chbTrace>("chbTrace", "Abilita Trace di Comunicazione"));
    rows.push_back(checkBox<&Options::chkDisableDisplay>("chkDisableDisplay", "Disabilita Display Articoli"));
    rows.push_back({"txtRemoteIP", "Ind. IP Stampante Fiscale", "TVCHKSCO.TXT",
                    [](const Options& o) { return o.txtRemoteIP; }, setAddress});
    rows.push_back({"cboToutConn", "T.Out Conn. in Sec.", "TVCHKSCO.TXT",
                    [](const Options& o) -> std::string {
                        return kTimeoutEntries[o.cboToutConn >= 0 && o.cboToutConn < 6 ? o.cboToutConn : 1];
                    },
                    setTimeout});
    rows.push_back(checkBox<&Options::chkCodFisc>("chkCodFisc", "Abilita Stampa CF/PIVA"));
    rows.push_back(checkBox<&Options::OptNonFiscal>("OptNonFiscal", "Input Non Fiscale"));
    rows.push_back(checkBox<&Options::chbPagamentiEstesi>("chbPagamentiEstesi", "Abilita Estensione Pagamenti"));
    rows.push_back(checkBox<&Options::chbInversioneScontiSuReso>("chbInversioneScontiSuReso",
                                                                 "Abilita Inversione Sconti su Reso"));
    rows.push_back(checkBox<&Options::chbAbilRistampaDaErroreSocket>("chbAbilRistampaDaErroreSocket",
                                                                     "Abilita Ristampa da Errore di Rete "));
    rows.push_back(checkBox<&Options::chbNoInviaApCassetto>("chbNoInviaApCassetto", "Non Invia Apert. Cassetto da SW"));
    rows.push_back(checkBox<&Options::chbDisabTotalizzatori>("chbDisabTotalizzatori", "Disab.  Totalizzatori"));
    rows.push_back(
        checkBox<&Options::chkForzaIntestazioneFattura>("chkForzaIntestazioneFattura", "Forza Intest. Fattura"));
    rows.push_back(checkBox<&Options::OptionFAST>("OptionFAST", "Notifica (Fast)"));
    rows.push_back(checkBox<&Options::CheckLogPagamento>("CheckLogPagamento", "Log Pagam. POS"));
    rows.push_back(checkBox<&Options::CheckStampaLogo>("CheckStampaLogo", "Logo In Coda"));
    rows.push_back(checkBox<&Options::chbMatricola>("chbMatricola", "Matricola in Out File"));
    rows.push_back(checkBox<&Options::chbDescrizione>("chbDescrizione", "Abilita Descizione 44"));
    return rows;
}

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

const std::vector<OptionRow>& optionRows()
{
    static const std::vector<OptionRow> rows = buildRows();
    return rows;
}

const OptionRow* findOptionRow(const std::string& name)
{
    for (const OptionRow& row : optionRows())
        if (row.name == name)
            return &row;
    for (const OptionRow& row : optionRows())
        if (sameIgnoringCase(row.name, name))
            return &row;
    return nullptr;
}

Options mergeOptions(const Options& base, const Options& mine, const Options& theirs)
{
    Options merged = theirs;
    for (const OptionRow& row : optionRows()) {
        const std::string value = row.get(mine);
        if (value != row.get(base))
            row.set(merged, value);
    }
    // The interval follows its box; the box is merged above.
    if (merged.txtTimerVal == mine.txtTimerVal)
        merged.timerIntervalMs = mine.timerIntervalMs;
    return merged;
}

} // namespace tavor1
