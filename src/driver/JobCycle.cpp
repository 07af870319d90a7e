#include "driver/JobCycle.h"

#include "driver/DirWatcher.h"
#include "driver/PollSteps.h"
#include "driver/TestReceipt.h"
#include "driver/TimerSetting.h"
#include "exchange/ExchangeFiles.h"
#include "platform/ByteFiles.h"
#include "platform/Sinks.h"
#include "settings/Options.h"

#include <algorithm>

namespace tavor1 {

JobCycle::JobCycle(Options& options, DriverState& state, PollSteps& steps, MessageSink& messages,
                   std::string dataDir, QObject* parent)
    : QObject(parent), m_options(options), m_state(state), m_steps(steps), m_messages(messages),
      m_dataDir(std::move(dataDir))
{
    m_timer21.setInterval(1000);
    connect(&m_timer21, &QTimer::timeout, this, &JobCycle::onTimer21);
    m_pollAgainTimer.setSingleShot(true);
    m_pollAgainTimer.setInterval(0);
    connect(&m_pollAgainTimer, &QTimer::timeout, this, &JobCycle::poll);
}

JobCycle::~JobCycle()
{
    stopDirWatch();
}

void JobCycle::start()
{
    m_pollTick = 0;
    m_timer21.setInterval(std::max(1, m_options.timerIntervalMs));
    m_timer21.start();
}

void JobCycle::onTimer21()
{
    if (m_state.dumpRunning)
        return;
    m_timer21.stop();
    if (m_rearm != 0) {
        m_rearm = 0;
        m_timer21.setInterval(std::max(1, m_options.timerIntervalMs));
        m_timer21.start();
        return;
    }
    if (m_options.OptionSLOW() && m_state.windowShown) {
        m_timerStateToggle = !m_timerStateToggle;
        emit timerStateText(m_timerStateToggle ? "Timer on" : "Timer ON");
    }
    m_pollTick = m_pollTick < 30001 ? static_cast<std::int16_t>(m_pollTick + 1) : 0;
    poll();
}

void JobCycle::poll()
{
    if (m_state.closing)
        return;
    if (m_pollRunning || m_state.jobRunning) {
        m_pollAgain = true;
        return;
    }
    m_pollRunning = true;
    m_pollAgain = false;
    m_timer21.stop();

    const int channel = m_steps.scanChannels([this](int n) { startIdentification(n); });
    // A job a crash interrupted is settled before any other is taken; after
    // the scan, so that the register is identified for its SR_OUT.
    if (!m_steps.settleInterruptedJobs()) {
        // The register does not answer yet: the timer asks again.
        if (!m_state.closing)
            m_timer21.start();
        m_pollRunning = false;
        return;
    }

    bool ok = channel >= 1 && channel <= 4 && !m_state.closing;
    if (ok)
        ok = m_steps.takeJob(channel);

    if (!ok || m_state.dumpRunning) {
        restartTimerIfSlow();
    } else {
        m_state.jobRunning = true;
        // Only the job of the channel the test button wrote is sent as
        // register commands; any other request is converted as usual.
        m_state.testReceiptMode = m_state.testReceiptChannel == channel;
        emit jobStarted(channel);
        if (m_state.windowShown)
            emit statusText("TRASMISSIONE TAVOR1 IN CORSO ..");
        const JobResult result = m_steps.runJob();
        const bool abandoned = m_state.closing;
        m_steps.finishJob(result, abandoned);
        m_state.jobRunning = false;
        m_state.testReceiptMode = false;
        if (m_state.testReceiptChannel == channel)
            m_state.testReceiptChannel = 0;
        for (auto& c : m_state.channels)
            c.testReceiptPending = false;
        if (!abandoned) {
            rearm(2);
            emit testButtonsEnabled(true);
        }
        emit jobFinished(channel, result);
        restartTimerIfSlow();
    }

    m_pollRunning = false;
    if (m_pollAgain && !m_state.closing)
        m_pollAgainTimer.start();
    else if (!m_state.closing && !m_timer21.isActive() && m_steps.awaitingRetry())
        m_timer21.start();
}

void JobCycle::restartTimerIfSlow()
{
    if (m_options.OptionSLOW() && !m_state.closing) {
        emit timerBoxVisible(true);
        m_timer21.start();
    }
}

void JobCycle::startIdentification(int channel)
{
    if (m_state.jobRunning || m_state.dumpRunning || m_state.closing)
        return;
    m_state.dumpRunning = true;
    const std::int16_t code = m_steps.identify(channel);
    m_state.channels[channel - 1].dumpPending = code != 0;
    if (code == 0 && !m_state.closing)
        startDirWatch();
    if (!m_state.closing)
        rearm(1);
    m_state.dumpRunning = false;
    emit identificationFinished(channel, code);
}

void JobCycle::rearm(int flag)
{
    m_rearm = flag;
    m_timer21.setInterval(1000);
    m_timer21.start();
}

void JobCycle::startDirWatch()
{
    m_timer21.stop();
    if (!isDirectory(m_dataDir))
        return;
    stopDirWatch();
    auto* watcher = new DirWatcher(this);
    m_watcher = watcher;
    connect(watcher, &DirWatcher::changeDetected, this, &JobCycle::onWatcherChange);
    emit watchStarted();
    emit timerBoxVisible(false);
    emit timerStateText("PRONTO");
    watcher->startWatch(m_dataDir, 5, false, false);
}

void JobCycle::stopDirWatch()
{
    if (!m_watcher)
        return;
    m_watcher->stopWatch();
    // The watcher may be the sender of the event whose poll is running.
    m_watcher->deleteLater();
    m_watcher = nullptr;
}

bool JobCycle::isWatching() const
{
    return m_watcher && m_watcher->isWatching();
}

void JobCycle::onWatcherChange()
{
    QPointer<DirWatcher> watcher = qobject_cast<DirWatcher*>(sender());
    if (watcher)
        watcher->setSuspendWatch(true);
    poll();
    if (watcher && watcher == m_watcher)
        watcher->setSuspendWatch(false);
}

void JobCycle::selectFast()
{
    m_options.OptionFAST = true;
    // Without a running watcher (no identification has succeeded yet) the
    // timer is the only thing that polls, and so keeps running.
    if (isWatching())
        m_timer21.stop();
    emit timerBoxVisible(false);
    emit timerStateText("PRONTO");
}

void JobCycle::selectSlow()
{
    m_options.OptionFAST = false;
    poll();
}

void JobCycle::setTimer(const std::string& typed, const std::function<void(const std::string&)>& saveTimerFile)
{
    if (m_state.jobRunning) {
        m_messages.showMessage("Connessione in corso, valore non accettato");
        return;
    }
    const TimerSetting s = computeTimerSetting(typed);
    if (!s.message.empty())
        m_messages.showMessage(s.message);
    const bool wasActive = m_timer21.isActive();
    m_timer21.stop();
    m_options.timerIntervalMs = s.intervalMs;
    m_options.txtTimerVal = s.boxText;
    if (s.save && saveTimerFile)
        saveTimerFile(s.boxText);
    m_timer21.setInterval(s.intervalMs);
    if (wasActive)
        m_timer21.start();
}

void JobCycle::setChannelEnabled(int channel, bool enabled)
{
    if (channel < 1 || channel > 4)
        return;
    m_options.channelEnabled[channel - 1] = enabled;
    // The poll timer serves every channel: it stops only when no channel is
    // left in service, never because one other channel was cleared.
    const bool any = std::any_of(m_options.channelEnabled.begin(), m_options.channelEnabled.end(),
                                 [](bool b) { return b; });
    emit channelsInService(any);
    emit testButtonsEnabled(any);
    if (any && !m_state.closing && !m_pollRunning)
        m_timer21.start();
    else if (!any)
        m_timer21.stop();
}

bool JobCycle::runTestReceipt()
{
    if (!m_state.windowShown)
        return false;
    if (std::all_of(m_state.channels.begin(), m_state.channels.end(),
                    [](const ChannelState& c) { return c.dumpPending; })) {
        emit registerMessage("DUMP NON ANCORA ESEGUITO");
        return false;
    }
    int target = 0;
    for (int n = 1; n <= 4; ++n) {
        if (m_options.channelEnabled[n - 1] && !m_state.channels[n - 1].dumpPending) {
            target = n;
            m_state.channels[n - 1].testReceiptPending = true;
        }
    }
    if (target == 0)
        return false;
    const bool written = writeFileBytes(joinPath(m_dataDir, exchangeFileName(ExchangeFile::SR_DATI, target)), buildTestReceipt(m_options))
        && writeFileBytes(joinPath(m_dataDir, exchangeFileName(ExchangeFile::SR_START, target)), kTestReceiptStart);
    if (!written) {
        m_messages.showMessage("Scontrino di prova non scritto in " + m_dataDir);
        m_state.channels[target - 1].testReceiptPending = false;
        return false;
    }
    m_state.testReceiptChannel = target;
    if (!m_timer21.isActive() && !m_pollRunning)
        m_timer21.start();
    emit testButtonsEnabled(false);
    return true;
}

void JobCycle::stopForClosing()
{
    m_state.closing = true;
    stopDirWatch();
    m_timer21.stop();
    m_pollAgainTimer.stop();
}

} // namespace tavor1
