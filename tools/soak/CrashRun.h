#pragma once

// The crash soak: cycle after cycle, the host submits one sale, the driver
// is killed at a point of the job picked from the seed and started again,
// and the host follows its protocol (it waits for SR_MATR and for the
// answer, and re-creates SR_START over the kept SR_DATI after an SR_ERR).
// After each cycle the roll, the answers and the payment service's charges
// are checked.

#include "soak/CrashCheck.h"
#include "soak/FaultPlan.h"
#include "soak/KillPlan.h"
#include "soak/RollAudit.h"
#include "soak/SoakOptions.h"
#include "soak/SoakRequest.h"
#include "soak/SoakRig.h"

#include <QElapsedTimer>

#include <array>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace tavor1::soak {

// Time limits of a crash run on top of the rig's.
struct CrashTimings {
    // The answer to a go signal after the driver came back.
    int answerAfterRestartMs = 10000;
    // The driver counts as idle after this long without a command to the
    // register; a second answer within it counts against the go signal.
    int quietMs = 400;
    // The payment service's answer when the kill is planned during the payment.
    int heldPaymentMs = 3000;
};

class CrashRun {
public:
    CrashRun(SoakOptions options, const std::string& driverPath, std::ostream& out, SoakTimings timings = {},
             CrashTimings crashTimings = {});

    // Where the driver's list of approvals not used comes from: by default
    // the output of `tavor1 history --data-dir DIR` (parseNotUsedApprovals).
    using NotUsedListing = std::function<std::string(const std::string& dataDir)>;
    void setNotUsedListing(NotUsedListing listing) { m_notUsedListing = std::move(listing); }

    // Runs all cycles; 0 only when no invariant was broken and the run ended.
    int run();

private:
    struct Cycle {
        int number = 0;
        int channel = 1;
        SoakRequest request;
        KillPlan kill;
        PlannedFault fault;
        KillTrigger trigger;
        std::vector<GoSignalOutcome> goSignals;
        std::vector<std::string> startFailures;
        // What happened, in order, with the seconds since the cycle began.
        std::vector<std::string> timeline;
        QElapsedTimer clock;
        void note(const std::string& step);
        std::size_t documentsBefore = 0;
        int framesBefore = 0;
        std::size_t approvalsBefore = 0;
    };

    // False when the run cannot go on.
    bool runCycle(int number);
    void writeGoSignal(Cycle& c);
    // The host's look at its folder: an answer is there once SR_START is
    // gone; it is read, counted against the last go signal and taken away.
    void takeAnswer(Cycle& c);
    // After the driver is gone: starts it again until it comes up (the
    // planned second kill included). False when it cannot be brought up.
    bool restart(Cycle& c);
    void waitQuiet(Cycle& c);
    void judge(Cycle& c);
    void report(const Cycle& c, const std::vector<std::string>& broken);
    void printSummary(double seconds);

    void onRegisterFrame(const QByteArray& command);
    void onPaymentRequest();
    void onDisconnect();
    void killNow(bool gentle, const std::string& at);

    std::string path(ExchangeFile file, int channel) const { return m_rig.exchangePath(file, channel); }

    SoakOptions m_options;
    std::ostream& m_out;
    SoakTimings m_timings;
    CrashTimings m_crash;
    SoakRig m_rig;
    std::uint64_t m_seed = 0;
    std::mt19937_64 m_random;
    FaultPicker m_picker;
    NotUsedListing m_notUsedListing;

    RollAudit m_audit;
    std::set<int> m_reportedDuplicates;
    // The cycle running, for the simulators' hooks; nullptr between cycles.
    Cycle* m_cycle = nullptr;
    // The job's trigger listens only while a go signal is out and the driver
    // serving it is the one it was armed for.
    bool m_triggerLive = false;
    bool m_killAgainArmed = false;
    bool m_killed = false;
    bool m_killGentle = false;
    QElapsedTimer m_killClock;

    int m_passed = 0;
    int m_failed = 0;
    bool m_runBroken = false;
    std::array<int, kKillPointCount> m_planned{};
    std::array<int, kKillPointCount> m_fired{};
    std::array<int, kKillPointCount> m_failedByPoint{};
    std::map<std::string, int> m_violations;
    int m_kills = 0;
    int m_terms = 0;
    int m_termNotClosed = 0;
    int m_restarts = 0;
    int m_goSignals = 0;
    int m_finesco = 0;
    int m_srErr = 0;
    int m_unanswered = 0;
    int m_faults = 0;
    int m_cancelledByOperator = 0;
    int m_cardSales = 0;
    int m_charges = 0;
    int m_chargesNotJudged = 0;
};

} // namespace tavor1::soak
