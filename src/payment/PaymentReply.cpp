#include "payment/PaymentReply.h"

#include "platform/Cp1252.h"

namespace tavor1 {

namespace {

void collectText(const pugi::xml_node& node, std::string& out)
{
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out += child.value();
        else if (child.type() == pugi::node_element)
            collectText(child, out);
    }
}

} // namespace

PaymentReply::PaymentReply(std::string_view body)
{
    // Whitespace-only element texts are kept: texts are taken as they are.
    const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result loaded = m_doc.load_buffer(body.data(), body.size(), options, pugi::encoding_auto);
    // pugixml keeps whatever it parsed before the error; a broken reply must
    // look empty instead, or half a reply could pass for a result.
    if (!loaded)
        m_doc.reset();
}

pugi::xpath_node PaymentReply::select(const char* xpath) const
{
    try {
        return m_doc.select_node(xpath);
    } catch (const pugi::xpath_exception&) {
        return {};
    }
}

bool PaymentReply::selects(const char* xpath) const
{
    return static_cast<bool>(select(xpath));
}

std::optional<std::string> PaymentReply::text(const char* xpath) const
{
    const pugi::xpath_node found = select(xpath);
    if (!found)
        return std::nullopt;
    std::string utf8;
    if (found.node())
        collectText(found.node(), utf8);
    else
        utf8 = found.attribute().value();
    return utf8ToCp1252(utf8);
}

} // namespace tavor1
