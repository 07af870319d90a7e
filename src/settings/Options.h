#pragma once

#include <array>
#include <string>

namespace tavor1 {

// The state of every option control of the main window. The driver logic reads
// options only from here; the window's controls are a view of this model.
// Member names are the controls' own names; defaults are the state the
// controls have when the window is built.
struct Options {
    // Check1..Check4, "Porte di comunicazione": channel n is served.
    std::array<bool, 4> channelEnabled{true, true, true, true};

    // Poll interval: txtTimerVal as typed (below 100 seconds, else
    // milliseconds) and the resulting interval of Timer21.
    std::string txtTimerVal = "1";
    int timerIntervalMs = 1000;

    bool chbConvXonXoff = false;
    bool chbTrace = false;
    bool chkDisableDisplay = false;
    std::string txtRemoteIP;
    // Index into the connection time-out list "10 sec." .. "60 sec.".
    int cboToutConn = 1;
    bool chkCodFisc = true;
    // OptNonFiscal ("Input Non Fiscale") selected; OptFiscal is its opposite.
    bool OptNonFiscal = true;
    bool chbPagamentiEstesi = false;
    bool chbInversioneScontiSuReso = false;
    bool chbAbilRistampaDaErroreSocket = false;
    bool chbNoInviaApCassetto = false;
    bool chbDisabTotalizzatori = false;
    bool chkForzaIntestazioneFattura = false;
    // OptionFAST ("Notifica (Fast)") selected; OptionSLOW is its opposite.
    bool OptionFAST = true;
    bool CheckLogPagamento = false;
    bool CheckStampaLogo = false;
    bool chbMatricola = false;
    bool chbDescrizione = false;

    bool OptFiscal() const { return !OptNonFiscal; }
    bool OptionSLOW() const { return !OptionFAST; }
    // Seconds of the selected connection time-out entry (10, 20, ... 60).
    int connectionTimeoutSeconds() const { return (cboToutConn >= 0 && cboToutConn < 6 ? cboToutConn + 1 : 2) * 10; }
};

} // namespace tavor1
