#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tavor1 {

// A failure of readDocument or writeDocument, carrying what the converter's
// error handling shows: a number, the source and the description.
class DocumentError : public std::runtime_error {
public:
    DocumentError(int number, std::string source, std::string description);

    int number() const { return m_number; }
    const std::string& source() const { return m_source; }
    const std::string& description() const { return m_description; }

private:
    int m_number;
    std::string m_source;
    std::string m_description;
};

// A document: its lines in order, without their line ends (bytes as stored).
using Document = std::vector<std::string>;

// Every line of the file. Lines end at CR LF, and also at a lone CR or LF
// (a request written by a tool of another platform); a last line without an
// end still counts. An empty file gives an empty document.
// Throws DocumentError: -1 "FileInput: <path> Not Exists!" from
// "Tools.ReadDocument" when no file is there; otherwise the run-time error
// with the source "<program> in Tools.ReadDocument:0".
Document readDocument(const std::string& path);

// Writes every line followed by CR LF: the file created anew, or extended at
// its end when append is true. Throws DocumentError on a failure.
void writeDocument(const std::string& path, const Document& lines, bool append);

} // namespace tavor1
