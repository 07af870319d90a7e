#pragma once

// The simulated register's paper: every printed document as readable text.

#include <functional>
#include <string>
#include <vector>

namespace tavor1::regsim {

enum class DocumentKind {
    Receipt,          // fiscal receipt (documento commerciale)
    ReturnReceipt,    // fiscal document of a return (reso)
    VoidReceipt,      // fiscal document voiding an earlier one (annullo)
    CancelledReceipt, // receipt cancelled while it was being made; carries no number
    Invoice,          // invoice printed on the register; numbered among the day's invoices
    NonFiscal,        // non-fiscal document (slips, courtesy texts)
    CashMovement,     // cash paid in or out
    Report,           // daily, department or financial report
    Copy,             // reprint of the last document
};

struct PrintedDocument {
    DocumentKind kind = DocumentKind::NonFiscal;
    // Fiscal documents: number within the day (from 1). Invoices: number among
    // the day's invoices. Reports with reset: the number of the closing. 0 otherwise.
    int number = 0;
    // The number of the daily closing the document belongs to (closings made + 1).
    int zNumber = 0;
    // Fiscal documents and invoices: the amount of the document, in cents.
    long long total = 0;
    std::vector<std::string> lines;
    // A document is sealed when nothing more can be printed on it.
    bool sealed = false;

    bool isFiscal() const;
    std::string text() const; // lines joined with '\n', a trailing '\n' included
};

class PaperRoll {
public:
    // Called once for every document when it is sealed (roll file, stdout).
    using SealedHandler = std::function<void(const PrintedDocument&)>;

    void setSealedHandler(SealedHandler handler) { m_onSealed = std::move(handler); }

    // Starts a new document, sealing the one before.
    PrintedDocument& start(DocumentKind kind);
    // The document still open for printing, or nullptr.
    PrintedDocument* current();
    void print(const std::string& line);
    void seal();

    const std::vector<PrintedDocument>& documents() const { return m_documents; }
    int documentCount() const { return static_cast<int>(m_documents.size()); }
    int count(DocumentKind kind) const;
    // "zzzz-nnnn" of every numbered fiscal document, in print order; a number
    // printed twice shows up twice.
    std::vector<std::string> fiscalNumbers() const;
    // The whole roll as one text.
    std::string text() const;

private:
    std::vector<PrintedDocument> m_documents;
    SealedHandler m_onSealed;
};

} // namespace tavor1::regsim
