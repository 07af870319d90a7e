#include "conversion/invoice/KeySequence.h"

#include "conversion/language/Decimal.h"
#include "conversion/language/RequestLanguage.h"
#include "platform/ByteFiles.h"
#include "platform/NumberText.h"

#include <ostream>
#include <sstream>
#include <utility>

namespace tavor1 {

namespace {

struct SingleKey {
    char key;
    const char* word;
};

constexpr SingleKey kSingleKeys[] = {
    {'a', "OPEN"}, {'K', "CLEA"}, {'j', "OPNF"}, {'J', "CLNF"}, {'=', "SUBT"},
    {'c', "REGK"}, {'z', "ZKEY"}, {'y', "MGRK"}, {'x', "XKEY"},
};

// The fixed test bar codes of the "Z" key, sent as the command text. The
// tails of 3 and 4 (a quote, blanks, "' CODE 39") are part of the text the
// register has always been sent; they are not comments.
const char* testBarcode(std::int64_t n)
{
    switch (n) {
    case 1: return "BARC,T1,H0,1234567890123;";
    case 2: return "BARC,T2,H0,1234567890123";
    case 3: return "BARC,T4,H0,1234567890123;\"          ' CODE 39";
    case 4: return "BARC,T4,H0,1234567890123;\"            ' CODE 128";
    default: return nullptr;
    }
}

bool isOne(const std::string& number)
{
    const auto value = Decimal::parse(number, '.');
    return value && *value == Decimal::fromInteger(1);
}

class KeyStreamReader {
public:
    explicit KeyStreamReader(std::ostream& target) : m_out(target) {}

    void read(std::string_view stream)
    {
        for (const char c : stream) {
            if (c == '"') {
                if (!m_inQuotes)
                    m_text.clear();
                m_inQuotes = !m_inQuotes;
                continue;
            }
            if (m_inQuotes) {
                // A comma would end the field of the request line.
                m_text += c == ',' ? '.' : c;
                continue;
            }
            if (c == ' ')
                continue;
            if (keyCommand(std::string_view(&c, 1), m_out))
                continue;
            valueKey(c);
            if (!m_command.empty())
                writeCommand();
        }
    }

private:
    enum class Modifier { None, Percent, Value };

    std::int64_t takeNumber()
    {
        const auto n = readInteger(m_number);
        return n ? *n : 0;
    }

    void valueKey(char c)
    {
        switch (c) {
        case '.':
            m_number += '.';
            return;
        case '*':
            m_quantity = std::exchange(m_number, {});
            return;
        case 'H':
            m_amount = std::exchange(m_number, {});
            return;
        case 'T': {
            const std::int64_t n = takeNumber();
            const std::string number = std::exchange(m_number, {});
            if (n == 1)
                m_command = "CASH";
            else if (n == 2)
                m_command = "CHEQ";
            else if (n == 3)
                m_command = "CARD";
            else if (n > 3) {
                m_command = "TEND";
                m_dept = number;
            }
            m_tender = !m_command.empty();
            return;
        }
        case 'Z': {
            const char* barcode = testBarcode(takeNumber());
            m_number.clear();
            if (barcode)
                m_command = barcode;
            return;
        }
        case '@':
            m_command = "PRNT";
            return;
        case '>':
            m_command = "DISP,N1,C2";
            return;
        case 'O':
            m_command = "OPER";
            m_dept = m_number;
            m_clearValue = std::exchange(m_number, {});
            return;
        case 'F':
            m_command = "FUNC";
            m_dept = std::exchange(m_number, {});
            return;
        case '#':
            m_command = "CLER";
            m_clearValue = std::exchange(m_number, {});
            return;
        case 'M':
            modifierKey();
            return;
        case 'R':
            m_command = "SALE";
            m_dept = std::exchange(m_number, {});
            return;
        case 'P':
            m_command = "PLUI";
            m_dept = std::exchange(m_number, {});
            return;
        default:
            m_number += c;
        }
    }

    void modifierKey()
    {
        const std::int64_t n = takeNumber();
        m_modifierTyped = !m_number.empty();
        m_number.clear();
        switch (n) {
        case 9: m_return = true; return;
        case 0: m_cancel = true; return;
        case 12: m_command = "CRED"; m_bare = true; return;
        case 13: m_command = "RECO"; m_bare = true; return;
        case 1: priceModifier("DISC", Modifier::Percent, false); return;
        case 2: priceModifier("DOST", Modifier::Percent, true); return;
        case 3: priceModifier("COUP", Modifier::Value, false); return;
        case 4: priceModifier("COST", Modifier::Value, true); return;
        case 5: priceModifier("MAGG", Modifier::Percent, false); return;
        case 6: priceModifier("MOST", Modifier::Percent, true); return;
        case 7: priceModifier("ADDI", Modifier::Value, false); return;
        case 8: priceModifier("ADDS", Modifier::Value, true); return;
        default: return;
        }
    }

    void priceModifier(const char* word, Modifier kind, bool subtotal)
    {
        m_command = word;
        m_modifier = kind;
        m_subtotal = subtotal;
    }

    void writeCommand()
    {
        std::string line;
        if (m_command == "SALE") {
            line = m_text.empty() ? "SALE,N" + m_dept : "PLUD,C[1]";
            if (!m_dept.empty())
                line += ",N" + m_dept;
            if (!m_text.empty())
                line += ",:" + m_text;
            if (!m_quantity.empty() && !isOne(m_quantity))
                line += ",Q" + m_quantity;
            if (!m_amount.empty())
                line += ",P" + m_amount;
            if (m_return && m_modifierTyped)
                line += ",R";
            else if (m_cancel && m_modifierTyped)
                line += ",S";
        } else if (m_command == "CLER" || m_command == "OPER") {
            line = m_command + (m_clearValue.empty() ? "" : ",C" + m_clearValue);
        } else if (m_bare) {
            line = m_command;
        } else {
            line = m_command;
            if (!m_dept.empty())
                line += ",N" + m_dept;
            if (!m_text.empty())
                line += ",:" + m_text;
            if (m_modifier == Modifier::None) {
                if (!m_quantity.empty() && !isOne(m_quantity))
                    line += ",Q" + m_quantity;
                if (!m_amount.empty())
                    line += (m_tender ? ",V" : ",P") + m_amount;
            } else if (m_modifier == Modifier::Percent) {
                if (!m_quantity.empty() && !isOne(m_quantity))
                    line += ",%" + m_quantity;
            } else if (!m_amount.empty()) {
                line += ",V" + m_amount;
            }
        }
        if (m_subtotal)
            writeLine("SUBT");
        writeLine(line);
        reset();
    }

    void writeLine(const std::string& line)
    {
        m_out << line;
        if (line.empty() || line.back() != ';')
            m_out << ';';
        m_out << "\r\n";
    }

    void reset()
    {
        m_text.clear();
        m_number.clear();
        m_quantity.clear();
        m_amount.clear();
        m_dept.clear();
        m_clearValue.clear();
        m_command.clear();
        m_modifierTyped = m_tender = m_subtotal = m_bare = m_return = m_cancel = false;
        m_modifier = Modifier::None;
    }

    std::ostream& m_out;
    bool m_inQuotes = false;
    std::string m_text; // characters between double quotes

    // What the keys typed since the last written line have set.
    std::string m_number;     // digits (and ".") since the last key
    std::string m_quantity;   // "*"
    std::string m_amount;     // "H"
    std::string m_dept;       // "R", "P", "T", "F", "O": department, PLU, tender, function, operator
    std::string m_clearValue; // "#", "O"
    std::string m_command;
    bool m_modifierTyped = false;
    bool m_tender = false;
    bool m_subtotal = false;
    bool m_bare = false; // credit and recount: the command word alone
    bool m_return = false;
    bool m_cancel = false;
    Modifier m_modifier = Modifier::None;
};

} // namespace

bool keyCommand(std::string_view key, std::ostream& target)
{
    if (key.size() != 1)
        return false;
    for (const SingleKey& k : kSingleKeys) {
        if (k.key == key[0]) {
            target << k.word << ";\r\n";
            return true;
        }
    }
    return false;
}

void convertKeySequence(std::string_view stream, std::ostream& target)
{
    KeyStreamReader(target).read(stream);
}

bool convertKeySequenceFile(const std::string& sourcePath, const std::string& targetPath)
{
    const auto content = readFileBytes(sourcePath);
    if (!content || content->empty())
        return false;
    removeFile(targetPath);
    std::string stream;
    stream.reserve(content->size());
    for (const std::string& line : splitRequestLines(*content))
        stream += line;
    std::ostringstream target;
    convertKeySequence(stream, target);
    return writeFileBytes(targetPath, target.str()) && fileExists(targetPath);
}

std::string readFilePath(std::string_view line, const std::string& dataDir, int channel)
{
    std::string value;
    getParam(false, line, ",:", value);
    // Quotes first, so that a quoted name resolves like an unquoted one.
    if (!value.empty() && value.front() == '"')
        value.erase(0, 1);
    if (!value.empty() && value.back() == '"')
        value.pop_back();
    if (value.find_first_not_of(' ') == std::string::npos)
        return joinPath(dataDir, "DataReceived.txt");
    const std::string extension = ".00" + std::to_string(channel);
    const bool hasFolder = value.find_first_of("\\/") != std::string::npos;
    const bool hasDot = value.find('.') != std::string::npos;
    if (hasFolder)
        return hasDot ? value : value + extension;
    return joinPath(dataDir, hasDot ? value : value + extension);
}

} // namespace tavor1
