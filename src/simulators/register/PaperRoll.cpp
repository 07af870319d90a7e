#include "simulators/register/PaperRoll.h"

#include <cstdio>

namespace tavor1::regsim {

bool PrintedDocument::isFiscal() const
{
    return kind == DocumentKind::Receipt || kind == DocumentKind::ReturnReceipt
        || kind == DocumentKind::VoidReceipt;
}

std::string PrintedDocument::text() const
{
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += '\n';
    }
    return out;
}

PrintedDocument& PaperRoll::start(DocumentKind kind)
{
    seal();
    PrintedDocument& document = m_documents.emplace_back();
    document.kind = kind;
    return document;
}

PrintedDocument* PaperRoll::current()
{
    if (m_documents.empty() || m_documents.back().sealed)
        return nullptr;
    return &m_documents.back();
}

void PaperRoll::print(const std::string& line)
{
    if (PrintedDocument* document = current())
        document->lines.push_back(line);
}

void PaperRoll::seal()
{
    PrintedDocument* document = current();
    if (!document)
        return;
    document->sealed = true;
    if (m_onSealed)
        m_onSealed(*document);
}

int PaperRoll::count(DocumentKind kind) const
{
    int n = 0;
    for (const PrintedDocument& document : m_documents)
        n += document.kind == kind ? 1 : 0;
    return n;
}

std::vector<std::string> PaperRoll::fiscalNumbers() const
{
    std::vector<std::string> numbers;
    for (const PrintedDocument& document : m_documents) {
        if (!document.isFiscal() || document.number == 0)
            continue;
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%04d", document.zNumber % 10000, document.number % 10000);
        numbers.emplace_back(text);
    }
    return numbers;
}

std::string PaperRoll::text() const
{
    std::string out;
    for (const PrintedDocument& document : m_documents)
        out += document.text();
    return out;
}

} // namespace tavor1::regsim
