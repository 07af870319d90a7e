#pragma once

#include "driver/DirWatcher.h"
#include "driver/DriverState.h"
#include "exchange/JobResult.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

namespace tavor1 {

class MessageSink;
class PollSteps;
struct Options;

// When the driver looks for work and how one poll runs: the poll timer
// Timer21 with its re-arm flag, the Fast mode's directory watcher, the
// channel scan, the job and the register identification it may start.
//
// One poll at a time, and never a poll while a job runs: a poll asked for
// meanwhile (by the timer, the watcher or the Slow button) is remembered and
// run once after the current one, so a go signal is neither lost nor served
// twice.
class JobCycle : public QObject {
    Q_OBJECT
public:
    JobCycle(Options& options, DriverState& state, PollSteps& steps, MessageSink& messages,
             std::string dataDir, QObject* parent = nullptr);
    ~JobCycle() override;

    // Arms Timer21 with timerIntervalMs, as at the end of loading.
    void start();

    // One poll (the poll event). Also called by the Slow button.
    void poll();
    // The poll timer's tick.
    void onTimer21();

    void startDirWatch();
    void stopDirWatch();
    bool isWatching() const;

    // Mode buttons "Notifica (Fast)" and "Timer    (Slow)".
    void selectFast();
    void selectSlow();

    // "Set timer" with the text of the timer value box; writes the box text
    // through saveTimerFile when the value is taken.
    void setTimer(const std::string& typed, const std::function<void(const std::string&)>& saveTimerFile);

    // Check1..Check4.
    void setChannelEnabled(int channel, bool enabled);

    // " Esegui Test": writes the test receipt as the job of the last ready
    // channel. False when nothing was written.
    bool runTestReceipt();

    // The closing sequence stops the cycle: no tick, no watcher, no new job.
    void stopForClosing();

    bool timerActive() const { return m_timer21.isActive(); }
    int timerInterval() const { return m_timer21.interval(); }
    int rearmFlag() const { return m_rearm; }
    std::int16_t pollTick() const { return m_pollTick; }
    bool pollRunning() const { return m_pollRunning; }
    DirWatcher* watcher() const { return m_watcher; }

signals:
    // Text2, the program's status line.
    void statusText(const std::string& text);
    // Text3, the timer state box.
    void timerStateText(const std::string& text);
    // Text1, the register messages box.
    void registerMessage(const std::string& text);
    // txtTimerVal and "Set timer" shown or hidden.
    void timerBoxVisible(bool visible);
    // The watcher started: Frame3 becomes "Stato del collegamento".
    void watchStarted();
    void jobStarted(int channel);
    void jobFinished(int channel, tavor1::JobResult result);
    void identificationFinished(int channel, std::int16_t code);
    // The configuration frames are locked while a channel is in service.
    void channelsInService(bool any);
    // The test and cancel buttons.
    void testButtonsEnabled(bool enabled);

private:
    void startIdentification(int channel);
    void rearm(int flag);
    void onWatcherChange();
    void restartTimerIfSlow();

    Options& m_options;
    DriverState& m_state;
    PollSteps& m_steps;
    MessageSink& m_messages;
    std::string m_dataDir;

    QTimer m_timer21;
    // When non-zero the next tick only restarts Timer21 with timerIntervalMs:
    // 1 after an identification, 2 after a job.
    int m_rearm = 0;
    std::int16_t m_pollTick = 0;
    bool m_timerStateToggle = false;

    bool m_pollRunning = false;
    // A poll was asked for while one ran; it runs once after it.
    bool m_pollAgain = false;
    QTimer m_pollAgainTimer;

    QPointer<DirWatcher> m_watcher;
};

} // namespace tavor1
