// Every program's command line as a user meets it: --help names the options,
// a mistake is named on standard error with a non-zero exit.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <string>
#include <vector>

namespace {

struct CommandLineRow {
    const char* name;
    const char* program;
    std::vector<const char*> args;
    int exitCode;
    // All must appear: on standard output when the exit is 0, else on
    // standard error.
    std::vector<const char*> texts;
};

class CommandLines : public ::testing::TestWithParam<CommandLineRow> { };

TEST_P(CommandLines, AnswerAsTheirUsersExpect)
{
    const CommandLineRow& row = GetParam();
    QStringList args;
    for (const char* arg : row.args)
        args << QString::fromLatin1(arg);
    QProcess process;
    process.start(QString::fromLatin1(row.program), args);
    ASSERT_TRUE(process.waitForFinished(20000)) << row.program << " did not end";
    const std::string out = process.readAllStandardOutput().toStdString();
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), row.exitCode) << out << err;
    const std::string& shown = row.exitCode == 0 ? out : err;
    for (const char* text : row.texts)
        EXPECT_NE(shown.find(text), std::string::npos) << "no \"" << text << "\" in:\n" << shown;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, CommandLines,
    ::testing::Values(
        CommandLineRow{"driverHelp", TAVOR1_BIN, {"--help"}, 0, {"  --headless"}},
        CommandLineRow{"driverMistake", TAVOR1_BIN, {"--register-port=70000"}, 2, {"--register-port needs a port"}},
        CommandLineRow{"doctorForeign", TAVOR1_BIN, {"doctor", "--roll", "x"}, 2, {"doctor does not take --roll"}},
        CommandLineRow{"historyHelp", TAVOR1_BIN, {"history", "--help"}, 0, {"  -n N"}},
        CommandLineRow{"historyMistake", TAVOR1_BIN, {"history", "--all"}, 2, {"unknown argument --all"}},
        CommandLineRow{"regsimHelp", TAVOR1_REGSIM_BIN, {"-h"}, 0, {"  --fail CMD:CODE[:TIMES]"}},
        CommandLineRow{"regsimMistake", TAVOR1_REGSIM_BIN, {"--colour"}, 2, {"unknown option --colour"}},
        CommandLineRow{"paysimHelp", TAVOR1_PAYSIM_BIN, {"--help"}, 0, {"  --result R"}},
        CommandLineRow{"paysimUnknown", TAVOR1_PAYSIM_BIN, {"--colour"}, 2, {"unknown option \"--colour\""}},
        CommandLineRow{"paysimBadResult", TAVOR1_PAYSIM_BIN, {"--result", "99"}, 2, {"unknown result '99'"}},
        CommandLineRow{"hostHelp", TAVOR1_HOST_BIN, {"--help"}, 0, {"  --channel N"}},
        CommandLineRow{"hostMistake", TAVOR1_HOST_BIN, {"submit", "--colour"}, 3, {"unexpected \"--colour\""}},
        CommandLineRow{"soakHelp", TAVOR1_SOAK_BIN, {"--help"}, 0, {"  --crash N"}},
        CommandLineRow{"soakMistake", TAVOR1_SOAK_BIN, {"--fast"}, 2, {"unknown option \"--fast\""}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
