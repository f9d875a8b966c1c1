#include "support/postgresserver.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

namespace {

// The newest PostgreSQL installed: /usr/lib/postgresql/VERSION/bin.
QString serverBin()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const QString bin = versions.filePath(*name + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return QString();
}

int freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0) ? server.serverPort() : 0;
}

} // namespace

PostgresServer::~PostgresServer()
{
    QString error;
    if (m_running)
        stop(&error);
}

bool PostgresServer::start(QString *error)
{
    m_bin = serverBin();
    if (m_bin.isEmpty()) {
        *error = QStringLiteral("no PostgreSQL server installed (Debian's postgresql)");
        return false;
    }
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid()) {
        *error = m_folder->errorString();
        return false;
    }
    m_asNobody = ::geteuid() == 0;
    if (m_asNobody) {
        const passwd *nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(QFile::encodeName(m_folder->path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            *error = QStringLiteral("cannot give %1 to the user nobody").arg(m_folder->path());
            return false;
        }
    }
    m_port = freePort();
    if (m_port == 0) {
        *error = QStringLiteral("no free port on 127.0.0.1");
        return false;
    }
    return run(m_bin + QStringLiteral("/initdb"),
               {QStringLiteral("--pgdata=") + m_folder->filePath(QStringLiteral("data")),
                QStringLiteral("--username=") + QLatin1String(User), QStringLiteral("--auth=trust"),
                QStringLiteral("--encoding=UTF8"), QStringLiteral("--no-locale"), QStringLiteral("--no-sync")},
               error)
        && restart(error);
}

bool PostgresServer::restart(QString *error)
{
    const QString options = QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -k %2")
                                .arg(m_port)
                                .arg(m_folder->path());
    m_running = run(m_bin + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("start"), QStringLiteral("--wait"),
                     QStringLiteral("--pgdata=") + m_folder->filePath(QStringLiteral("data")),
                     QStringLiteral("--log=") + m_folder->filePath(QStringLiteral("server.log")),
                     QStringLiteral("--options=") + options},
                    error);
    return m_running;
}

bool PostgresServer::stop(QString *error)
{
    const bool stopped = run(m_bin + QStringLiteral("/pg_ctl"),
                             {QStringLiteral("stop"), QStringLiteral("--wait"), QStringLiteral("--mode=fast"),
                              QStringLiteral("--pgdata=") + m_folder->filePath(QStringLiteral("data"))},
                             error);
    m_running = m_running && !stopped;
    return stopped;
}

bool PostgresServer::createDatabase(const QString &name, QString *error)
{
    return run(m_bin + QStringLiteral("/createdb"),
               {QStringLiteral("--host=127.0.0.1"), QStringLiteral("--port=%1").arg(m_port),
                QStringLiteral("--username=") + QLatin1String(User), name},
               error);
}

QString PostgresServer::uri(const QString &database) const
{
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(QLatin1String(User)).arg(m_port).arg(database);
}

bool PostgresServer::run(const QString &program, const QStringList &arguments, QString *error, int waitMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_folder->path());
    if (m_asNobody)
        process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                                             QStringLiteral("--"), program} + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(waitMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *error = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}
