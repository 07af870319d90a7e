#pragma once

// The one command-line reader of the driver, its subcommands and the tools,
// over Qt's QCommandLineParser. It knows the options' names and whether they
// take a value; what a value must look like stays with each program, which
// reads the options in the order they were given and names its own mistakes.
// Arguments are bytes: a path in Windows-1252 or any other encoding comes back
// exactly as it was given.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tavor1 {

class OptionParser {
public:
    struct Occurrence {
        std::string name; // the option's first name, without dashes
        std::string typed; // as given on the command line ("-n", "--data-dir")
        std::string value; // empty for a flag
    };

    enum class Problem {
        None,
        UnknownOption, // `argument` is the unknown option as typed
        MissingValue, // `argument` is the option, the last word, as typed
        Other, // `message` is Qt's own text
    };

    // program: the program's name, as argv[0] would give it ("tavor1-regsim").
    explicit OptionParser(std::string program)
        : m_program(std::move(program))
    {
    }

    // names without dashes, long ones first or alone ({"help", "h"}); one
    // letter is a short option (-n). valueName empty: a flag. description:
    // the help text, one entry per line.
    void addOption(const std::vector<std::string>& names, const std::string& valueName,
                   const std::vector<std::string>& description);
    void addFlag(const std::vector<std::string>& names, const std::vector<std::string>& description)
    {
        addOption(names, {}, description);
    }

    // argv without the program name. False when the words are not
    // understood: problem() and argument() say why.
    bool parse(const std::vector<std::string>& args);

    Problem problem() const { return m_problem; }
    const std::string& argument() const { return m_argument; }
    // The problem in words: unknown option "--x" / --x needs a value.
    std::string message() const;

    // The options given, in command-line order, repeats included.
    const std::vector<Occurrence>& occurrences() const { return m_occurrences; }
    // The words that are no option, in order.
    const std::vector<std::string>& words() const { return m_words; }

    // One entry per option in the order added: "  -h, --help", "  --port N",
    // then the description from `column` on (on the next line when the names
    // reach it).
    std::string optionsHelp(std::size_t column) const;

private:
    struct Definition {
        std::vector<std::string> names;
        std::string valueName;
        std::vector<std::string> description;
    };
    std::size_t find(const std::string& name) const;

    std::string m_program;
    std::vector<Definition> m_definitions;
    Problem m_problem = Problem::None;
    std::string m_argument;
    std::string m_message;
    std::vector<Occurrence> m_occurrences;
    std::vector<std::string> m_words;
};

} // namespace tavor1
