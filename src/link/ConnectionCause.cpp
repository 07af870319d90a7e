#include "link/ConnectionCause.h"

namespace tavor1 {

std::string connectionCauseText(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return "connessione rifiutata";
    case QAbstractSocket::RemoteHostClosedError:
        return "connessione chiusa dal registratore";
    case QAbstractSocket::HostNotFoundError:
        return "indirizzo non trovato";
    case QAbstractSocket::SocketAccessError:
        return "accesso alla rete negato";
    case QAbstractSocket::SocketResourceError:
        return "risorse di rete esaurite";
    case QAbstractSocket::SocketTimeoutError:
        return "tempo di connessione scaduto";
    case QAbstractSocket::NetworkError:
        // Qt reports EHOSTUNREACH and ENETUNREACH as a network error.
        return "host non raggiungibile";
    case QAbstractSocket::AddressInUseError:
        return "indirizzo locale in uso";
    case QAbstractSocket::SocketAddressNotAvailableError:
        return "indirizzo non disponibile su questa macchina";
    default:
        return "errore di rete " + std::to_string(static_cast<int>(error));
    }
}

std::string noAnswerCause(int waitedMs)
{
    return "nessuna risposta entro " + std::to_string((waitedMs + 999) / 1000) + " s";
}

std::string registerUnreachableLine(const std::string& address, std::uint16_t port, const std::string& cause)
{
    if (address.empty())
        return "Registratore non configurato: " + cause;
    return "Registratore " + address + ":" + std::to_string(port) + " non raggiungibile: " + cause;
}

} // namespace tavor1
