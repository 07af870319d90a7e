#include "driver/Doctor.h"

#include "exchange/ExchangeFiles.h"
#include "exchange/JobJournal.h"
#include "link/ConnectionCause.h"
#include "link/RegisterConnection.h"
#include "link/RegisterIdentification.h"
#include "link/RegisterLink.h"
#include "platform/ByteFiles.h"
#include "platform/LockHolder.h"
#include "platform/qt/Wait.h"
#include "protocol/Protocol.h"
#include "settings/IpAddress.h"
#include "settings/OptionFiles.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QUrl>

namespace tavor1 {

namespace {

constexpr const char* kOptionFileNames[] = {"TVCHKCOM.TXT", "TVTIMER1.TXT", "TVCHKXXS.TXT", "TVCHKSCO.TXT"};

DoctorCheck pass(std::string name, std::string found)
{
    return {true, std::move(name), std::move(found), {}};
}

DoctorCheck fail(std::string name, std::string found, std::string todo)
{
    return {false, std::move(name), std::move(found), std::move(todo)};
}

// The options as the driver would settle them, and where the address came from.
struct SettledOptions {
    Options options;
    std::string addressSource;
};

DoctorCheck checkOptions(const DoctorSetup& setup, SettledOptions& settled)
{
    const std::string name = "opzioni";
    if (!isDirectory(setup.programDir))
        return fail(name, "la cartella delle opzioni " + setup.programDir + " non esiste",
                    "crearla, o indicarne un'altra con --config-dir");
    std::string missing;
    for (const char* file : kOptionFileNames) {
        const std::string path = joinPath(setup.programDir, file);
        if (!fileExists(path)) {
            missing += missing.empty() ? file : std::string(", ") + file;
            continue;
        }
        if (!readFileBytes(path))
            return fail(name, path + " non e' leggibile",
                        "correggerne i permessi: l'utente del driver deve poterlo leggere e scrivere");
    }
    Options& o = settled.options;
    readOptionFiles(setup.programDir, o);
    if (!validateIpAddress(o.txtRemoteIP))
        o.txtRemoteIP.clear();
    settled.addressSource = "TVCHKSCO.TXT, riga 4";
    if (!setup.registryIPAddress.empty() && validateIpAddress(setup.registryIPAddress)) {
        o.txtRemoteIP = setup.registryIPAddress;
        settled.addressSource = "IPAddress del registro";
    }
    if (!setup.forcedRemoteIP.empty()) {
        o.txtRemoteIP = setup.forcedRemoteIP;
        settled.addressSource = "--register-ip";
    }
    if (o.txtRemoteIP.empty())
        return fail(name, std::string(kNoRegisterAddressCause) + " (" + setup.programDir + ")",
                    "impostarlo: tavor1 options --config-dir " + setup.programDir + " txtRemoteIP=INDIRIZZO");
    std::string found = "registratore " + o.txtRemoteIP + ":" + std::to_string(setup.registerPort) + " (" +
                        settled.addressSource + "), cartella " + setup.programDir;
    if (!missing.empty())
        found += "; mancano " + missing + " (valgono i valori iniziali)";
    return pass(name, found);
}

// Whether the directory takes a new file: the driver writes SR_MATR, SR_ERR
// and the logs there.
DoctorCheck checkDataDir(const DoctorSetup& setup, std::optional<long>& holder)
{
    const std::string name = "dati";
    if (!isDirectory(setup.dataDir))
        return fail(name, setup.dataDir + " : DIR NON ESISTENTE", "crearla, o indicarne un'altra con --data-dir");
    std::error_code error;
    if (!directoryWritable(setup.dataDir, error))
        return fail(name, setup.dataDir + " non e' scrivibile da questo utente (" + error.message() + ")",
                    "darne la scrittura all'utente del driver (e al programma di cassa)");
    holder = lockHolderPid(setup.dataDir);
    if (holder)
        return pass(name, setup.dataDir + " scrivibile; servita dal driver con PID " + std::to_string(*holder));
    return pass(name, setup.dataDir + " scrivibile; nessun driver la serve ora");
}

// Jobs the journal shows unfinished: interrupted, unanswered, or with a
// document left open on the register. A serving driver settles them at its
// next poll, a stopped one at its next start; only a serving driver may have
// one job in flight that is simply running now.
DoctorCheck checkJournal(const DoctorSetup& setup, bool served)
{
    const std::string name = "lavori";
    const JournalReplay journal = JobJournal::read(setup.dataDir);
    const std::size_t inFlight = journal.jobsInFlight().size();
    const std::size_t unanswered = journal.unansweredJobs().size();
    const bool leftOpen = journal.documentLeftOpen().has_value();
    if (inFlight + unanswered == 0 && !leftOpen)
        return pass(name, "nessun lavoro in sospeso nel giornale (" + std::to_string(journal.jobs.size()) + " lavori)");
    if (served && inFlight == 1 && unanswered == 0 && !leftOpen)
        return pass(name, "un lavoro in corso");
    std::string found = std::to_string(inFlight) + " interrotti, " + std::to_string(unanswered) + " senza risposta";
    if (leftOpen)
        found += ", un documento lasciato aperto sul registratore";
    return fail(name, found,
                served ? "il driver in servizio li chiude appena il registratore risponde; se restano, vedere " +
                             joinPath(setup.dataDir, "LOGFILE.TXT")
                       : "avviare il driver: all'avvio li chiude con il registratore (tavor1 history li elenca)");
}

// What a serving driver published: the identification it made.
std::optional<std::string> publishedIdentification(const std::string& dataDir)
{
    for (int channel = 1; channel <= kChannelCount; ++channel)
        if (auto text = readFileBytes(joinPath(dataDir, exchangeFileName(ExchangeFile::SR_MATR, channel)), 4096)) {
            std::string oneLine;
            for (char c : *text)
                oneLine += (c == '\r') ? ' ' : (c == '\n' ? ';' : c);
            return exchangeFileName(ExchangeFile::SR_MATR, channel) + ": " + oneLine;
        }
    return std::nullopt;
}

void appendRegisterChecks(const DoctorSetup& setup, const SettledOptions& settled, bool haveAddress,
                          std::vector<DoctorCheck>& checks)
{
    if (!haveAddress) {
        const std::string found = "non provato: " + std::string(kNoRegisterAddressCause);
        checks.push_back(fail("registratore", found, "impostare l'indirizzo (vedi opzioni)"));
        checks.push_back(fail("identificazione", "non provata", "prima il collegamento"));
        checks.push_back(fail("stato 1009", "non provato", "prima il collegamento"));
        return;
    }
    const Options& o = settled.options;
    NullTraceSink trace;
    RegisterConnection connection(trace, SystemClock::instance(), setup.registerPort);
    connection.setRemoteIP(o.txtRemoteIP);
    ExchangeTimings timings;
    timings.replyTimeoutMs = setup.replyTimeoutMs;
    timings.secondWaitMs = setup.replyTimeoutMs;
    RegisterLink link(connection, trace, SystemClock::instance(), timings);

    const std::string where = o.txtRemoteIP + ":" + std::to_string(setup.registerPort);
    // The connection wait a job of the driver has, with the same setting.
    if (!connection.connectAndWait(o.connectionTimeoutSeconds())) {
        checks.push_back(fail("registratore",
                              registerUnreachableLine(o.txtRemoteIP, setup.registerPort, connection.failureCause()),
                              "verificare che il registratore sia acceso e in rete, l'indirizzo (tavor1 options "
                              "txtRemoteIP=...) e la porta (--register-port)"));
        checks.push_back(fail("identificazione", "non provata", "prima il collegamento"));
        checks.push_back(fail("stato 1009", "non provato", "prima il collegamento"));
        return;
    }
    checks.push_back(pass("registratore", where + " raggiungibile"));

    const ExchangeResult code = link.transmitCommand(protocol::msg::Identification);
    if (code != ExchangeResult::Accepted) {
        checks.push_back(fail("identificazione",
                              "\"1008\" senza risposta valida (codice " + codeText(code) +
                                  (link.lastRegisterError().empty() ? "" : ", ERR" + link.lastRegisterError()) + ")",
                              "verificare che all'indirizzo risponda un registratore compatibile, non altro"));
    } else {
        RegisterIdentity identity;
        queryRegisterIdentity(link, identity);
        const SrMatrContent content = buildSrMatr(identity.identification, ProgramVersion{}, identity.firmware);
        std::string found = "matricola " + content.serialNumber + ", " + (content.registerIsRT ? "RT" : "MF") +
                            ", firmware " + (identity.firmware.empty() ? "sconosciuto" : identity.firmware) +
                            ", modello " + std::to_string(identity.modelCode);
        checks.push_back(content.serialNumber.empty()
                             ? fail("identificazione", found, "il registratore non ha dato la matricola")
                             : pass("identificazione", found));
    }

    const ExchangeResult status = link.transmitCommand(protocol::msg::Status);
    const std::string& reply = link.replyData();
    const std::size_t at = reply.find(protocol::msg::Status);
    if (status == ExchangeResult::Accepted && at != std::string::npos) {
        const std::string value = reply.substr(at + 4, 2);
        if (value == "00")
            checks.push_back(pass("stato 1009", "pronto (00)"));
        else
            checks.push_back(fail("stato 1009", "stato " + value,
                                  "controllare carta e coperchio sul registratore, o il suo manuale"));
    } else {
        checks.push_back(fail("stato 1009", "nessuna risposta valida (codice " + codeText(status) + ")",
                              "controllare il registratore"));
    }
    connection.closeConnection();
}

DoctorCheck checkPayment(const DoctorSetup& setup)
{
    const std::string name = "pagamenti";
    const QUrl url(QString::fromStdString(setup.paymentUrl));
    if (!url.isValid() || url.host().isEmpty())
        return fail(name, "indirizzo del servizio \"" + setup.paymentUrl + "\" non valido",
                    "indicarlo come http://HOST:PORTA con --payment-url");
    const int port = url.port(url.scheme() == "https" ? 443 : 80);
    const std::string where = url.host().toStdString() + ":" + std::to_string(port);
    QTcpSocket socket;
    socket.connectToHost(url.host(), static_cast<quint16>(port));
    // Ends on the connect, its error or the limit.
    waitUntil(
        [&socket] {
            return socket.state() == QAbstractSocket::ConnectedState ||
                   socket.error() != QAbstractSocket::UnknownSocketError;
        },
        setup.paymentConnectMs);
    if (socket.state() == QAbstractSocket::ConnectedState) {
        socket.abort();
        return pass(name, "servizio " + where + " raggiungibile (solo collegamento, nessuna richiesta)");
    }
    const std::string cause = socket.error() == QAbstractSocket::UnknownSocketError
                                  ? noAnswerCause(setup.paymentConnectMs)
                                  : connectionCauseText(socket.error());
    socket.abort();
    return fail(name, "servizio " + where + " non raggiungibile: " + cause,
                "avviare il servizio dei pagamenti, o indicarne l'indirizzo con --payment-url (serve solo alle "
                "richieste con PAGA)");
}

} // namespace

std::vector<DoctorCheck> runDoctor(const DoctorSetup& setup)
{
    std::vector<DoctorCheck> checks;
    SettledOptions settled;
    checks.push_back(checkOptions(setup, settled));
    const bool haveAddress = !settled.options.txtRemoteIP.empty();

    std::optional<long> holder;
    checks.push_back(checkDataDir(setup, holder));

    if (holder) {
        // The register takes one connection: a second one beside the
        // serving driver could fail its next job. Its published
        // identification and its log tell the same.
        const auto published = publishedIdentification(setup.dataDir);
        const std::string note = "driver PID " + std::to_string(*holder) + " in servizio";
        if (published) {
            checks.push_back(pass("registratore", note + ", collegato"));
            checks.push_back(pass("identificazione", *published));
            checks.push_back(pass("stato 1009", "non interrogato mentre il driver serve"));
        } else {
            checks.push_back(fail("registratore", note + ", nessuna identificazione (SR_MATR) pubblicata",
                                  "leggere le ultime righe di " + joinPath(setup.dataDir, "LOGFILE.TXT") +
                                      " o journalctl -u tavor1"));
            checks.push_back(fail("identificazione", "non eseguita dal driver", "prima il collegamento"));
            checks.push_back(pass("stato 1009", "non interrogato mentre il driver serve"));
        }
    } else {
        appendRegisterChecks(setup, settled, haveAddress, checks);
    }
    checks.push_back(checkPayment(setup));
    checks.push_back(checkJournal(setup, holder.has_value()));
    return checks;
}

std::string doctorLine(const DoctorCheck& check)
{
    std::string line = (check.ok ? "ok   " : "FAIL ") + check.name + ": " + check.found;
    if (!check.ok && !check.todo.empty())
        line += " -> " + check.todo;
    return line;
}

} // namespace tavor1
