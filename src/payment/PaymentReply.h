#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace tavor1 {

// A reply body of the payment web service, loaded as an XML document. A body
// that is not well-formed XML loads as an empty document, in which no
// expression selects anything.
class PaymentReply {
public:
    explicit PaymentReply(std::string_view body);

    bool selects(const char* xpath) const;
    // The text of the first node the expression selects (all its text
    // content, untrimmed), in Windows-1252; empty optional when none.
    std::optional<std::string> text(const char* xpath) const;

private:
    pugi::xpath_node select(const char* xpath) const;

    pugi::xml_document m_doc;
};

} // namespace tavor1
