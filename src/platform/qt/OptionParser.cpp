#include "platform/qt/OptionParser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <map>

namespace tavor1 {

namespace {

// Latin-1 maps every byte to one character and back: the words keep their
// bytes whatever their encoding. Option names are plain ASCII.
QString fromBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

std::string dashed(const std::string& name)
{
    return (name.size() == 1 ? "-" : "--") + name;
}

bool isSingleDashWord(const std::string& arg)
{
    return arg.size() > 1 && arg[0] == '-' && arg[1] != '-';
}

// The unknown option as the user typed it. Qt names it without dashes, and
// an unknown letter of "-frobnicate" alone: the whole word is clearer.
std::string typedForm(const std::string& name, const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (name.size() == 1 && isSingleDashWord(arg) && arg.find(name[0], 1) != std::string::npos)
            return arg.substr(0, arg.find('='));
        if (arg.rfind("--", 0) == 0 && arg.substr(2, arg.find('=') - 2) == name)
            return arg.substr(0, arg.find('='));
    }
    return dashed(name);
}

} // namespace

void OptionParser::addOption(const std::vector<std::string>& names, const std::string& valueName,
                             const std::vector<std::string>& description)
{
    m_definitions.push_back({names, valueName, description});
}

std::size_t OptionParser::find(const std::string& name) const
{
    for (std::size_t i = 0; i < m_definitions.size(); ++i)
        if (std::find(m_definitions[i].names.begin(), m_definitions[i].names.end(), name) !=
            m_definitions[i].names.end())
            return i;
    return m_definitions.size();
}

bool OptionParser::parse(const std::vector<std::string>& args)
{
    m_problem = Problem::None;
    m_argument.clear();
    m_message.clear();
    m_occurrences.clear();
    m_words.clear();

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const Definition& definition : m_definitions) {
        QStringList names;
        for (const std::string& name : definition.names)
            names << QString::fromStdString(name);
        parser.addOption(QCommandLineOption(names, QString(), QString::fromStdString(definition.valueName)));
    }
    QStringList words{fromBytes(m_program)};
    for (const std::string& arg : args)
        words << fromBytes(arg);

    if (!parser.parse(words)) {
        const QStringList unknown = parser.unknownOptionNames();
        // Qt misses a value only after the last word.
        const std::string lastWord = args.empty() ? std::string() : args.back();
        const std::size_t dashes = lastWord.find_first_not_of('-');
        const std::size_t last =
            dashes == 0 || dashes == std::string::npos ? m_definitions.size() : find(lastWord.substr(dashes));
        if (!unknown.isEmpty()) {
            m_problem = Problem::UnknownOption;
            m_argument = typedForm(toBytes(unknown.front()), args);
        } else if (last < m_definitions.size() && !m_definitions[last].valueName.empty()) {
            m_problem = Problem::MissingValue;
            m_argument = lastWord;
        } else {
            m_problem = Problem::Other;
            m_message = toBytes(parser.errorText());
        }
        return false;
    }

    // Qt lists the options found in order, repeats included, under the name
    // they were given by; values() of any of an option's names gives that
    // option's values in the same order.
    std::map<std::size_t, int> seen;
    for (const QString& found : parser.optionNames()) {
        const std::string name = toBytes(found);
        const std::size_t index = find(name);
        if (index == m_definitions.size())
            continue;
        const Definition& definition = m_definitions[index];
        Occurrence occurrence{definition.names.front(), dashed(name), {}};
        if (!definition.valueName.empty()) {
            const QStringList values = parser.values(found);
            const int nth = seen[index]++;
            if (nth < values.size())
                occurrence.value = toBytes(values.at(nth));
        }
        m_occurrences.push_back(std::move(occurrence));
    }
    for (const QString& word : parser.positionalArguments())
        m_words.push_back(toBytes(word));
    return true;
}

std::string OptionParser::message() const
{
    switch (m_problem) {
    case Problem::None:
        return {};
    case Problem::UnknownOption:
        return "unknown option \"" + m_argument + "\"";
    case Problem::MissingValue:
        return m_argument + " needs a value";
    case Problem::Other:
        break;
    }
    return m_message;
}

std::string OptionParser::optionsHelp(std::size_t column) const
{
    std::string text;
    for (const Definition& definition : m_definitions) {
        // Short names first, as every program's help shows them.
        std::vector<std::string> names;
        for (const std::string& name : definition.names)
            if (name.size() == 1)
                names.push_back(dashed(name));
        for (const std::string& name : definition.names)
            if (name.size() > 1)
                names.push_back(dashed(name));
        std::string head = "  ";
        for (std::size_t i = 0; i < names.size(); ++i)
            head += (i ? ", " : "") + names[i];
        if (!definition.valueName.empty())
            head += " " + definition.valueName;
        text += head;
        for (std::size_t i = 0; i < definition.description.size(); ++i) {
            if (i == 0 && head.size() + 2 <= column) {
                text.append(column - head.size(), ' ');
            } else {
                text += "\n";
                text.append(column, ' ');
            }
            text += definition.description[i];
        }
        text += "\n";
    }
    return text;
}

} // namespace tavor1
