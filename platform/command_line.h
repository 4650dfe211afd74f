#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// What a program does after reading its command line: go on, or end at once
// with the exit status after printing Output on standard output and Error on
// standard error. Parsing never prints or exits itself, so tests can read it.
struct TCommandLineOutcome {
    bool Exit = false;
    int ExitStatus = 0;
    QString Output;
    QString Error;
};

// The exit status of a command line the program cannot take.
inline constexpr int BadCommandLineStatus = 2;

// The parsed options of a program, or the outcome that ends it.
template <typename Options>
struct TParsedCommandLine {
    Options Values;
    TCommandLineOutcome Outcome;
};

// Parses arguments (the program's path first) with a parser that holds the
// program's own options; --help and --version are added here. Help and
// version end the program with status 0 and the text on standard output; an
// unknown option, a missing value or an argument that is no option end it
// with status 2 and the reason on standard error. The version is the
// application's (QCoreApplication::applicationVersion).
TCommandLineOutcome ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                     const QString& programName);

// Ends the program with status 2 for a value it cannot take.
TCommandLineOutcome BadCommandLine(const QString& programName, const QString& message);

// Reads an option's value as an integer from low to high, or says why not
// (an empty text when the value is good).
QString ReadIntegerOption(const QCommandLineParser& parser, const QString& name, int low, int high, int& value);

// The arguments of main() as text, in the system's encoding.
QStringList CommandLineArguments(int argc, char** argv);

// Prints the outcome's texts and gives the exit status, for main().
int FinishCommandLine(const TCommandLineOutcome& outcome);
