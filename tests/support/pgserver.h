#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A throw-away PostgreSQL server on the loopback interface, for tests: its
// own data folder, a free port, trust authentication. Stopped and deleted by
// the destructor. Run as root it runs the server as the "postgres" user.
class PgServer
{
public:
    PgServer();
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // The folder holding initdb and pg_ctl; empty when PostgreSQL is not installed.
    static QString binDir();

    bool start();
    QString errorString() const { return m_error; }
    // "postgresql://postgres@127.0.0.1:<port>/<database>"
    QString url(const QString &database = QStringLiteral("postgres")) const;
    // Creates an empty database; false with errorString() on failure.
    bool createDatabase(const QString &name);

private:
    bool run(const QString &program, const QStringList &args, int timeoutMs);

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_dataDir;
    QString m_bin;
    int m_port = 0;
    bool m_running = false;
    QString m_error;
};
