#include "pgserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

} // namespace

PgServer::PgServer() = default;

PgServer::~PgServer()
{
    if (m_running)
        run(m_bin + QStringLiteral("/pg_ctl"), {"-D", m_dataDir, "-m", "immediate", "-w", "stop"}, 30000);
    // m_root removes the folder.
}

QString PgServer::binDir()
{
    const QDir lib(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toDouble() > b.toDouble(); });
    for (const QString &v : versions) {
        const QString bin = lib.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return QString();
}

bool PgServer::run(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (::geteuid() == 0) // initdb and the server refuse to run as root
        p.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--", program} + args);
    else
        p.start(program, args);
    if (!p.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program, p.errorString());
        return false;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        m_error = QStringLiteral("%1 did not finish").arg(program);
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool PgServer::start()
{
    m_bin = binDir();
    if (m_bin.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb)");
        return false;
    }
    m_root = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tovradocs-pg-XXXXXX"));
    if (!m_root->isValid()) {
        m_error = QStringLiteral("cannot create a folder for the server");
        return false;
    }
    m_dataDir = m_root->path() + QStringLiteral("/data");
    QDir().mkpath(m_dataDir);
    if (::geteuid() == 0) {
        // The server user must reach and own its folders.
        QFile::setPermissions(m_root->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                  | QFile::ExeOther);
        const passwd *pw = ::getpwnam("postgres");
        if (!pw) {
            m_error = QStringLiteral("there is no postgres user to run the server as");
            return false;
        }
        if (::chown(QFile::encodeName(m_dataDir).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            m_error = QStringLiteral("cannot hand the data folder to the postgres user");
            return false;
        }
    }
    if (!run(m_bin + QStringLiteral("/initdb"),
             {"-D", m_dataDir, "-U", "postgres", "--auth=trust", "-E", "UTF8", "--no-sync", "--no-instructions"},
             120000))
        return false;
    m_port = freeLoopbackPort();
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off")
                                .arg(m_port)
                                .arg(m_dataDir);
    if (!run(m_bin + QStringLiteral("/pg_ctl"),
             {"-D", m_dataDir, "-l", m_dataDir + "/server.log", "-o", options, "-w", "-t", "60", "start"}, 90000))
        return false;
    m_running = true;
    return true;
}

QString PgServer::url(const QString &database) const
{
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(database);
}

bool PgServer::createDatabase(const QString &name)
{
    return run(m_bin + QStringLiteral("/createdb"),
               {"-h", "127.0.0.1", "-p", QString::number(m_port), "-U", "postgres", name}, 30000);
}
