#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

namespace tavor1 {

namespace regsim {
class RegisterSimulator;
}
namespace paysim {
class PaymentSimulator;
}

// --simulate: a register and a payment service inside the driver, on free
// loopback ports, so that the driver can be tried without hardware.
class Simulation : public QObject {
    Q_OBJECT
public:
    explicit Simulation(QObject* parent = nullptr);
    ~Simulation() override;

    // Starts both simulators; false with a reason in error() when one cannot listen.
    bool start(const std::string& rollFile);
    std::uint16_t registerPort() const;
    std::string paymentUrl() const;
    const std::string& error() const { return m_error; }

    // The whole simulated paper roll so far.
    std::string rollText() const;

signals:
    // A document came off the simulated printer (its text, UTF-8).
    void documentPrinted(const QString& text);

private:
    std::unique_ptr<regsim::RegisterSimulator> m_register;
    std::unique_ptr<paysim::PaymentSimulator> m_payment;
    std::string m_error;
};

} // namespace tavor1
