#include "fleet/commandlinefront.h"

#include "fleet/programoutput.h"

#include <QCoreApplication>

namespace CommandLineFront {

namespace {

void describe(const Program &program, QCommandLineParser *parser)
{
    parser->setApplicationDescription(program.description);
    parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser->addHelpOption();
    parser->addVersionOption();
    parser->addOptions(program.options);
    for (const Argument &argument : program.arguments)
        parser->addPositionalArgument(argument.name, argument.description, argument.syntax);
}

} // namespace

Outcome begin(const Program &program, const QStringList &arguments, QCommandLineParser *parser, QString *error)
{
    describe(program, parser);
    if (!parser->parse(arguments)) {
        *error = parser->errorText();
        return Outcome::UsageError;
    }
    if (parser->isSet(QStringLiteral("help")))
        return Outcome::ShowHelp;
    if (parser->isSet(QStringLiteral("version")))
        return Outcome::ShowVersion;
    return Outcome::Run;
}

QString helpText(const Program &program)
{
    QCommandLineParser parser;
    describe(program, &parser);
    QString text = parser.helpText();
    const int options = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(QLatin1String("Usage: ")) && options > 0)
        text.replace(0, options, QStringLiteral("Usage: ") + program.name);
    return text + program.epilog;
}

int answer(const Program &program, Outcome outcome, const QString &error)
{
    switch (outcome) {
    case Outcome::ShowHelp:
        ProgramOutput::printOut(helpText(program).toUtf8());
        return 0;
    case Outcome::ShowVersion:
        ProgramOutput::printOut(
            QStringLiteral("%1 %2\n").arg(program.name, QCoreApplication::applicationVersion()).toUtf8());
        return 0;
    case Outcome::UsageError:
        ProgramOutput::printError(error + QStringLiteral(" (see %1 --help)").arg(program.name));
        return program.usageStatus;
    case Outcome::Run:
        break;
    }
    return 0;
}

} // namespace CommandLineFront
