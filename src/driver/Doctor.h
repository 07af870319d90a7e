#pragma once

// `tavor1 doctor`: what a technician checks first when the driver does not
// serve, in the order a problem is best found, each answered in words with
// what to do. The checks change nothing: no option file is written, no
// exchange file or SR_MATR is touched, nothing is printed on the register and
// no counter moves (only queries are sent), and the payment service gets a
// bare TCP connect, since any request on its path would charge a card.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavor1 {

struct DoctorSetup {
    std::string programDir; // the option files
    std::string dataDir;
    std::string registryIPAddress; // the registry's IPAddress override, when any
    std::string forcedRemoteIP; // --register-ip
    std::uint16_t registerPort = 9100;
    std::string paymentUrl = "http://localhost:80";
    // The register's reply limit for the queries; a silent register must not
    // keep the technician waiting the job's 40 s per query.
    int replyTimeoutMs = 5000;
    // The payment service's connect limit.
    int paymentConnectMs = 3000;
};

struct DoctorCheck {
    bool ok = false;
    std::string name; // "opzioni", "dati", "registratore", ...
    std::string found; // what was found
    std::string todo; // what to do about it; empty when ok
};

// Runs every check in order (needs a Qt application object; runs its
// event loop while it waits).
std::vector<DoctorCheck> runDoctor(const DoctorSetup& setup);

// "ok   name: found" or "FAIL name: found -> todo".
std::string doctorLine(const DoctorCheck& check);

} // namespace tavor1
