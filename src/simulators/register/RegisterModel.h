#pragma once

// The register itself, without the wire: it carries out one unframed command
// at a time and returns the payload of its reply ("ERR" + code on a refusal).
// It keeps what a real register keeps: the document being made, the day's
// totals, the receipt number, the closings, the grand total, the printer state.

#include "platform/Clock.h"
#include "simulators/register/PaperRoll.h"

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tavor1::regsim {

struct RegisterConfig {
    bool rt = true;              // telematic register: answers "1511"
    std::string serial;          // empty: "99SIM000001" (RT) or "SIM00001"
    int modelCode = 3;           // register class of the "1214" reply
    std::string firmware = "08.06.02";
    int fiscalClosings = 0;      // daily closings made before the simulator started
    std::int64_t grandTotal = 0; // cents, before the simulator started
};

enum class DocumentState { Idle, Receipt, NonFiscal, Invoice };

// The day's totals, as "1004" reports them; cents or counts.
struct DayTotals {
    int receipts = 0;            // numbered fiscal documents; the last one's number
    std::int64_t receiptsTotal = 0;
    int invoices = 0;
    std::int64_t invoicesTotal = 0;
    int fiscalReceipts = 0;      // ricevute fiscali: never made by this register
    std::int64_t fiscalReceiptsTotal = 0;
    int nonFiscal = 0;           // non-fiscal documents printed
    std::int64_t surcharges = 0;
    std::int64_t discounts = 0;
    std::int64_t voids = 0;      // cancelled and voided documents
    std::int64_t returns = 0;
    std::int64_t unpaid = 0;     // corrispettivo non pagato (credit)
};

class RegisterModel {
public:
    RegisterModel(RegisterConfig config, const Clock& clock, PaperRoll& roll);

    // Carries out one command and returns its reply payload.
    std::string execute(const std::string& command);

    // Commands that put ink on paper; refused while the paper is out or the cover open.
    static bool isPrintingCommand(const std::string& command);

    // Printer faults: the state lasts for the given number of "1009" polls,
    // which answer a status other than "00"; the poll after them finds it cleared.
    void setPaperEnd(int polls) { m_paperEndPolls = polls; }
    void setCoverOpen(int polls) { m_coverOpenPolls = polls; }
    // The text "1015" gives back after an "ERR" 99.
    void setOwnErrorText(std::string text) { m_ownErrorText = std::move(text); }

    // Ends the document whose closing is still printing its trailer.
    void finishDocument();

    const RegisterConfig& config() const { return m_config; }
    const std::string& serial() const { return m_config.serial; }
    DocumentState documentState() const { return m_state; }
    bool receiptPaid() const { return m_receipt.paid; }
    std::int64_t subtotal() const { return m_receipt.subtotal; }
    std::int64_t paidAmount() const { return m_receipt.paidTotal; }
    std::int64_t change() const { return m_receipt.change; }
    const DayTotals& dayTotals() const { return m_day; }
    int lastReceiptNumber() const { return m_day.receipts; }
    int fiscalClosings() const { return m_closings; }
    std::int64_t grandTotal() const { return m_grandTotal; }
    const std::string& displayText() const { return m_display; }
    int drawerOpenings() const { return m_drawerOpenings; }

private:
    enum class ReceiptKind { Sale, Return, Void };

    struct Receipt {
        ReceiptKind kind = ReceiptKind::Sale;
        std::int64_t subtotal = 0;
        std::int64_t paidTotal = 0;
        std::int64_t lastPayment = 0;
        int payments = 0;
        std::int64_t change = 0;
        std::int64_t surcharges = 0;
        std::int64_t discounts = 0;
        std::int64_t returns = 0;
        std::int64_t unpaid = 0;
        bool paid = false;
        bool cancelled = false;     // "annullo scontrino" given, waits for the closing
        std::string lastDepartment = "01";
        std::array<std::int64_t, 100> departments{}; // net amount per department
        int lines = 0;
    };

    std::string reply(const std::string& command);
    std::string queryReply(const std::string& command);
    std::string receiptCommand(const std::string& command);
    std::string nonFiscalCommand(const std::string& command);
    std::string reportCommand(const std::string& command);
    std::string functionCommand(const std::string& command);

    std::string sale(const std::string& command);
    std::string subtotalAdjustment(const std::string& command, bool discount);
    std::string payment(const std::string& command);
    std::string closeReceipt();
    std::string cancelReceipt();
    std::string closeNonFiscal();
    std::string reprint();
    std::string cashMovement(const std::string& command);
    std::string reference(const std::string& command);
    // A void reference completed without a receipt: prints the void document.
    void completeReference();
    // "" when nothing is open, else the refusal code for a new document.
    std::string refuseIfOpen() const;

    // Opens a receipt when none is; "" or the refusal code.
    std::string ensureReceipt();
    std::string printInDocument(const std::string& line);
    // "" when the open document can take that many more lines, else the refusal.
    std::string roomFor(std::size_t lines);
    void printAmountLine(const std::string& text, std::int64_t cents);
    void printFooter(const std::string& label);
    void printHeader(const std::string& title);
    void printReport(const std::string& title, bool reset);

    std::string dayTotalsReply() const;
    std::string receiptStateReply() const;
    std::string printerStatus();
    int currentZ() const { return m_closings + 1; }

    RegisterConfig m_config;
    const Clock& m_clock;
    PaperRoll& m_roll;

    DocumentState m_state = DocumentState::Idle;
    Receipt m_receipt;
    std::int64_t m_invoiceTotal = 0;
    DayTotals m_day;
    std::array<std::int64_t, 100> m_departmentTotals{};
    std::array<std::int64_t, 100> m_paymentTotals{}; // by payment type of "3007"
    std::int64_t m_cashIn = 0;
    std::int64_t m_cashOut = 0;
    int m_closings = 0;
    std::int64_t m_grandTotal = 0;
    std::string m_lastClosingDate = "000000";
    std::string m_display;
    int m_drawerOpenings = 0;
    int m_paperEndPolls = 0;
    int m_coverOpenPolls = 0;
    std::string m_ownErrorText;
    // A document reference ("7101", "7102", "7114") waiting for its document.
    struct Reference {
        bool pending = false;
        ReceiptKind kind = ReceiptKind::Sale;
        int zNumber = 0; // of the document referred to; 0 when not given
        int number = 0;
    };
    Reference m_reference;
    // Own documents already voided (closing, number): a second void is refused.
    std::set<std::pair<int, int>> m_voided;
};

} // namespace tavor1::regsim
