#include "platform/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

TCommandLineOutcome ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                     const QString& programName)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    if (!parser.parse(arguments))
        return BadCommandLine(programName, parser.errorText());
    if (parser.isSet(help)) {
        // "Usage: <program> [options]" names the program as it is known,
        // not by the path it was started through (or, before the
        // application object exists, by a placeholder).
        QString text = parser.helpText();
        const qsizetype start = text.indexOf(u' ') + 1;
        const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
        if (start > 0 && end > start)
            text.replace(start, end - start, programName);
        return {true, 0, text, {}};
    }
    if (parser.isSet(versionOption))
        return {true, 0, programName + u' ' + QCoreApplication::applicationVersion() + u'\n', {}};
    if (!parser.positionalArguments().isEmpty())
        return BadCommandLine(programName,
                              QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
    return {};
}

TCommandLineOutcome BadCommandLine(const QString& programName, const QString& message)
{
    return {true, BadCommandLineStatus, {},
            QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(programName, message)};
}

QString ReadIntegerOption(const QCommandLineParser& parser, const QString& name, int low, int high, int& value)
{
    if (!parser.isSet(name))
        return {};
    const QString text = parser.value(name);
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high)
        return QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'.").arg(name).arg(low).arg(high).arg(text);
    value = number;
    return {};
}

QStringList CommandLineArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int FinishCommandLine(const TCommandLineOutcome& outcome)
{
    std::fputs(outcome.Output.toLocal8Bit().constData(), stdout);
    std::fputs(outcome.Error.toLocal8Bit().constData(), stderr);
    return outcome.ExitStatus;
}
