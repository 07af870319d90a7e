#pragma once

// The register identification of a channel: serial number, RT or not, model
// class and firmware, published in the channel's SR_MATR file.

#include "exchange/ExchangeFiles.h"
#include "link/RegisterExchange.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "platform/Version.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tavor1 {

// The version SR_MATR and the About window show, "major.minor.0.revision";
// the default is the build's own.
struct ProgramVersion {
    int major = kVersionMajor;
    int minor = kVersionMinor;
    int revision = kVersionPatch;
};

// What the end of an identification changes outside the link: the window's
// dump-state box, the channel's pending flag, the directory watcher and the
// poll timer. The link itself writes SR_MATR or SR_ERR and removes SR_START.
class IdentificationEvents {
public:
    virtual ~IdentificationEvents() = default;
    // code 0: SR_MATR written; facts hold what was learnt. Otherwise the
    // identification is to be done again.
    virtual void identificationEnded(int channel, std::int16_t code) = 0;
};

// The SR_MATR file of an identification, CR LF after every line.
struct SrMatrContent {
    std::string bytes;
    std::string serialNumber;  // its first line
    bool registerIsRT = false;
};
SrMatrContent buildSrMatr(const std::string& identification, const ProgramVersion& version,
                          const std::string& firmware);

// What the identification's queries learn, once "1008" was accepted (its
// reply is still in replyData): the identification text that SR_MATR is
// built from, the model class and the firmware. Sends "1511", "1214", "1013"
// and "1109"; none of them prints or moves a counter. firmwareQuery, when
// given, is true while the firmware query runs.
struct RegisterIdentity {
    std::string identification;
    int modelCode = 0;
    std::string firmware;
};
void queryRegisterIdentity(RegisterExchange& exchange, RegisterIdentity& identity, bool* firmwareQuery = nullptr);

// The identification code when there was no valid address or no connection.
inline constexpr std::int16_t kIdentificationNotConnected = -1;

// The SR_ERR line of a failed identification.
std::string identificationErrorText(std::int16_t code);
// The channel's dump-state box after an identification.
std::string identificationStateText(std::int16_t code);

class RegisterIdentification {
public:
    // connectAndWait(maxPolls) connects the register and waits for it (true
    // when connected). A telematic register also turns on the extended
    // payments and turns off the inversion of discounts on returns in options.
    RegisterIdentification(RegisterExchange& exchange, RegisterFacts& facts, Options& options,
                           std::function<bool(int maxPolls)> connectAndWait, const ExchangeFiles& files,
                           ProgramVersion version = {}, IdentificationEvents* events = nullptr);

    // Identifies the register for the channel and reports it; returns the code
    // (0 done, kIdentificationNotConnected, else the number of the failed
    // exchange's result).
    std::int16_t identifyRegister(int channel);
    void onIdentificationDone(const std::string& identification, std::int16_t code, int channel);

    bool isRunning() const { return m_running; }
    // The closing sequence leaves a firmware query alone.
    bool isFirmwareQueryRunning() const { return m_firmwareQuery; }

private:
    RegisterExchange& m_exchange;
    RegisterFacts& m_facts;
    Options& m_options;
    std::function<bool(int)> m_connectAndWait;
    const ExchangeFiles& m_files;
    ProgramVersion m_version;
    IdentificationEvents* m_events;
    bool m_running = false;
    bool m_firmwareQuery = false;
    // The register's error code goes into SR_ERR only when this
    // identification talked to the register: without an address or a
    // connection lastRegisterError is still an earlier job's.
    bool m_registerAnswered = true;
};

} // namespace tavor1
