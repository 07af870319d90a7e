#include "driver/Simulation.h"

#include "simulators/payment/PaymentSimulator.h"
#include "simulators/register/RegisterSimulator.h"

namespace tavor1 {

Simulation::Simulation(QObject* parent) : QObject(parent) {}

Simulation::~Simulation() = default;

bool Simulation::start(const std::string& rollFile)
{
    m_register = std::make_unique<regsim::RegisterSimulator>();
    if (!rollFile.empty())
        m_register->setRollFile(rollFile);
    if (!m_register->listen(0)) {
        m_error = "simulated register: " + m_register->errorString().toStdString();
        return false;
    }
    connect(m_register.get(), &regsim::RegisterSimulator::documentPrinted, this,
            [this](const QByteArray& text) { emit documentPrinted(QString::fromUtf8(text)); });
    m_payment = std::make_unique<paysim::PaymentSimulator>();
    if (m_payment->start(0) == 0) {
        m_error = "simulated payment service: cannot listen on 127.0.0.1";
        return false;
    }
    return true;
}

std::uint16_t Simulation::registerPort() const
{
    return m_register ? m_register->port() : 0;
}

std::string Simulation::paymentUrl() const
{
    return m_payment ? "http://127.0.0.1:" + std::to_string(m_payment->port()) : std::string();
}

std::string Simulation::rollText() const
{
    return m_register ? m_register->roll().text() : std::string();
}

} // namespace tavor1
