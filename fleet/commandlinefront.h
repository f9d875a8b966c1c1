#pragma once

#include "fleet/fleetoptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What every program's command line does alike: the parser set up the same
// way (single-dash words read as long options, --help, --version, then the
// program's own options and arguments); --help and --version answered on
// standard output with exit status 0; a usage error as one line on standard
// error, "PROGRAM: what is wrong (see PROGRAM --help)", with exit status 64
// and nothing else done. A program only tells its texts and reads its own
// options.
namespace CommandLineFront {

enum class Outcome { Run, ShowHelp, ShowVersion, UsageError };

// What a command line asked for; `Options` is the program's own options type.
template <typename Options>
struct Parsed
{
    Outcome outcome = Outcome::UsageError;
    Options options;
    QString error; // one line, for UsageError
};

// A positional argument as the help text shows it.
struct Argument
{
    QString name;
    QString description;
    QString syntax; // in the usage line, e.g. "[ADDRESS...]"
};

// What a program tells the front.
struct Program
{
    QString name;        // the usage line names it, not the path it was started by
    QString description; // above the options
    QList<QCommandLineOption> options;
    QList<Argument> arguments;
    QString epilog;      // after the options and arguments
    int usageStatus = FleetCommandLine::Usage;
};

// Sets `parser` up for `program` and parses `arguments` (the program name
// first, as QCoreApplication::arguments()). Run: the program reads its own
// options from `parser`; UsageError comes with the parser's one line in `error`.
Outcome begin(const Program &program, const QStringList &arguments, QCommandLineParser *parser, QString *error);

// The whole command line: the front's part, then `takeOptions`, which reads
// the program's own options and returns the usage error, or an empty text.
template <typename Options>
Parsed<Options> parse(const Program &program, const QStringList &arguments,
                      const std::function<QString(const QCommandLineParser &, Options *)> &takeOptions)
{
    Parsed<Options> parsed;
    QCommandLineParser parser;
    parsed.outcome = begin(program, arguments, &parser, &parsed.error);
    if (parsed.outcome == Outcome::Run) {
        parsed.error = takeOptions(parser, &parsed.options);
        if (!parsed.error.isEmpty())
            parsed.outcome = Outcome::UsageError;
    }
    return parsed;
}

// The whole --help text.
QString helpText(const Program &program);

// For any outcome but Run: prints the help text, the version line
// ("PROGRAM VERSION", the application's version) or the usage error, and
// returns the exit status.
int answer(const Program &program, Outcome outcome, const QString &error);

} // namespace CommandLineFront
