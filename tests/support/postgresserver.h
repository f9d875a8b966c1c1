#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A PostgreSQL server of the suite's own: initdb and pg_ctl (Debian's
// postgresql) in a temporary folder, trusting local connections, listening on
// 127.0.0.1 at a free port (inside the suite's private network namespace)
// and on a socket in that folder; stopped and removed when this object goes.
// The server refuses to run as root, so a suite run as root starts it as the
// user nobody, who owns the folder.
class PostgresServer
{
public:
    static constexpr const char *User = "hvtk";

    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // initdb and start; false with `error` when the server cannot be had here.
    bool start(QString *error);
    // pg_ctl stop -m fast, and start again on the same folder and port.
    bool stop(QString *error);
    bool restart(QString *error);
    bool isRunning() const { return m_running; }

    // A new empty database `name`.
    bool createDatabase(const QString &name, QString *error);
    // postgresql://hvtk@127.0.0.1:PORT/NAME
    QString uri(const QString &database) const;
    // The folder of the server's Unix-domain socket: "?host=" and it after
    // uri() connects through the socket, also from another network namespace.
    QString socketFolder() const { return m_folder ? m_folder->path() : QString(); }

private:
    bool run(const QString &program, const QStringList &arguments, QString *error, int waitMs = 60000);

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_bin;
    int m_port = 0;
    bool m_running = false;
    bool m_asNobody = false;
};
