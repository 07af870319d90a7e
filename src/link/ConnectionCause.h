#pragma once

// Why the register could not be reached, in words a shop's technician
// understands without the socket library's numbers.

#include <QAbstractSocket>

#include <cstdint>
#include <string>

namespace tavor1 {

// "connessione rifiutata", "host non raggiungibile", ...
std::string connectionCauseText(QAbstractSocket::SocketError error);

// The cause when no address is configured at all.
inline constexpr const char* kNoRegisterAddressCause = "nessun indirizzo del registratore in TVCHKSCO.TXT";

// The cause when the connection neither stood nor failed within the wait.
std::string noAnswerCause(int waitedMs);

// "Registratore 192.168.1.50:9100 non raggiungibile: connessione rifiutata";
// without an address: "Registratore non configurato: " + cause.
std::string registerUnreachableLine(const std::string& address, std::uint16_t port, const std::string& cause);

} // namespace tavor1
