#include "link/RegisterIdentification.h"

#include "protocol/Protocol.h"
#include "link/RegisterQueries.h"
#include "platform/ByteFiles.h"
#include "settings/IpAddress.h"

#include <system_error>

namespace tavor1 {

namespace {

constexpr const char* kCrLf = "\r\n";
// An identification of this length is the older registers' serial number;
// any other is the telematic form: a status letter, the serial number, and
// the RT status at kRtStatusPosition.
constexpr std::size_t kPlainIdentificationLength = 8;
constexpr std::size_t kRtStatusPosition = 26;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Writes beside the target, flushes and renames, so that a host waiting for
// SR_MATR never reads it half written, even after a power cut. Where the
// rename is refused (a reader holding the old file open on some systems)
// the file is written in place.
bool replaceFile(const std::string& path, std::string_view bytes)
{
    return replaceFileBytes(path, bytes) || writeFileBytes(path, bytes);
}

} // namespace

SrMatrContent buildSrMatr(const std::string& identification, const ProgramVersion& version, const std::string& firmware)
{
    SrMatrContent content;
    std::string& out = content.bytes;
    if (identification.size() == kPlainIdentificationLength) {
        content.serialNumber = identification;
        out += identification + kCrLf;
    } else {
        content.serialNumber = mid(identification, 2, 11);
        // A reply too short to carry the status says nothing about RT: the
        // register is taken for an older one rather than sent RT commands.
        const std::string status = mid(identification, kRtStatusPosition, 1);
        content.registerIsRT = !status.empty() && status != "0";
        out += content.serialNumber + kCrLf;
        out += std::string(content.registerIsRT ? "Status: RT" : "Status: MF") + kCrLf;
    }
    out += std::string("DriverType: CustomEth") + kCrLf;
    out += "Versione: " + std::to_string(version.major) + "." + std::to_string(version.minor) + ".0" + "."
        + std::to_string(version.revision) + kCrLf;
    out += "FW: " + firmware + kCrLf;
    return content;
}

std::string identificationErrorText(std::int16_t code)
{
    switch (code) {
    case -9:
        return "E509: Coperchio stampante aperto e fine carta stampante";
    case -8:
        return "E501: Dump non eseguito, verificare se Ecr in errore o non connesso";
    case -5:
        return "E509: Coperchio stampante aperto";
    case -4:
        return "E096: Fine carta scontrino, sostituire rotolo";
    default:
        return "Errore generico sull'Ecr, verificare sul manuale del registratore";
    }
}

std::string identificationStateText(std::int16_t code)
{
    if (code == 0)
        return "DUMP ESEGUITO";
    if (code == -10)
        return "DUMP NON ESEGUITO" "NO RICEZIONE";
    return "DUMP NON ESEGUITO : " + std::to_string(code);
}

RegisterIdentification::RegisterIdentification(RegisterExchange& exchange, RegisterFacts& facts, Options& options,
                                               std::function<bool(int)> connectAndWait, const ExchangeFiles& files,
                                               ProgramVersion version, IdentificationEvents* events)
    : m_exchange(exchange), m_facts(facts), m_options(options), m_connectAndWait(std::move(connectAndWait)),
      m_files(files), m_version(version), m_events(events)
{
}

void queryRegisterIdentity(RegisterExchange& exchange, RegisterIdentity& identity, bool* firmwareQuery)
{
    using namespace protocol;
    const std::string& reply = exchange.replyData();
    if (reply.find(msg::Identification) != std::string::npos)
        identity.identification = mid(reply, 7, 8);
    else if (reply.size() >= 13)
        identity.identification = mid(reply, 6, 8);

    // A telematic register answers with its RT identification and status;
    // an older one refuses the command and keeps the 8-character form.
    if (exchange.transmitCommand(msg::RtIdentification) == ExchangeResult::Accepted &&
        startsWith(exchange.replyData(), msg::RtIdentification))
        identity.identification = exchange.replyData().substr(4);

    if (exchange.transmitCommand(msg::RegisterClass) == ExchangeResult::Accepted &&
        startsWith(exchange.replyData(), msg::RegisterClass))
        identity.modelCode = static_cast<int>(leadingNumber(std::string_view(exchange.replyData()).substr(4)));

    if (firmwareQuery)
        *firmwareQuery = true;
    identity.firmware.clear();
    if (exchange.transmitCommand(msg::Firmware) == ExchangeResult::Accepted &&
        startsWith(exchange.replyData(), msg::Firmware))
        identity.firmware = firmwareFromPayload(exchange.replyData());
    exchange.transmitCommand(msg::EndOfJob);
    if (firmwareQuery)
        *firmwareQuery = false;
}

std::int16_t RegisterIdentification::identifyRegister(int channel)
{
    using namespace protocol;
    m_facts.modelCode = 0;
    m_running = true;
    m_registerAnswered = false;
    std::int16_t code = 0;
    std::string identification;

    if (!validateIpAddress(m_options.txtRemoteIP) ||
        !(m_connectAndWait && m_connectAndWait(m_options.connectionTimeoutSeconds()))) {
        code = kIdentificationNotConnected;
    } else {
        m_registerAnswered = true;
        code = codeNumber(m_exchange.transmitCommand(msg::Identification));
    }
    if (code == codeNumber(ExchangeResult::Accepted)) {
        RegisterIdentity identity;
        queryRegisterIdentity(m_exchange, identity, &m_firmwareQuery);
        identification = identity.identification;
        m_facts.modelCode = identity.modelCode;
        m_facts.firmware = identity.firmware;
    }

    onIdentificationDone(identification, code, channel);
    m_running = false;
    return code;
}

void RegisterIdentification::onIdentificationDone(const std::string& identification, std::int16_t code, int channel)
{
    if (code == 0) {
        const SrMatrContent content = buildSrMatr(identification, m_version, m_facts.firmware);
        replaceFile(m_files.path(ExchangeFile::SR_MATR, channel), content.bytes);
        m_facts.serialNumber = content.serialNumber;
        m_facts.registerIsRT = content.registerIsRT;
        if (content.registerIsRT) {
            m_options.chbPagamentiEstesi = true;
            m_options.chbInversioneScontiSuReso = false;
        }
        m_files.deleteErrFile(channel);
    } else {
        m_files.writeErrFile(identificationErrorText(code), channel,
                             m_registerAnswered ? m_exchange.lastRegisterError() : std::string());
        m_files.deleteStartFile(channel);
    }
    if (m_events)
        m_events->identificationEnded(channel, code);
}

} // namespace tavor1
