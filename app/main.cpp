#include "app/frontdesk.h"

#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "host/referencehost.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    // The web page window's engine refuses to start as root with its sandbox on.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TovraDocs"));
    QApplication::setApplicationVersion(QStringLiteral("0.1"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Documents and media of a dental practice, on a demo practice by default."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption databaseOption(
        QStringLiteral("database"),
        QStringLiteral("Practice database: a SQLite file, or postgresql://user@host:port/database."),
        QStringLiteral("file-or-url"));
    const QCommandLineOption libraryOption(QStringLiteral("library"),
                                           QStringLiteral("Folder that holds the library files."),
                                           QStringLiteral("folder"));
    parser.addOption(databaseOption);
    parser.addOption(libraryOption);
    parser.process(app);

    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataFolder);

    tovradocs::HostOptions options;
    options.dataFolder = dataFolder;
    options.database = parser.isSet(databaseOption)
                           ? parser.value(databaseOption)
                           : QDir(dataFolder).filePath(QStringLiteral("practice.sqlite"));
    options.libraryFolder = parser.isSet(libraryOption)
                                ? parser.value(libraryOption)
                                : QDir(dataFolder).filePath(QStringLiteral("Library"));
    options.createDemoPractice = !parser.isSet(databaseOption);

    auto host = tovradocs::ReferenceHost::open(options);
    if (!host) {
        std::fprintf(stderr, "tovradocs: %s\n", qPrintable(host.error()));
        tovradocs::Internal::DialogService::message(
            nullptr, QStringLiteral("The practice database could not be opened:\n") + host.error(),
            QStringLiteral("TovraDocs"), tovradocs::Internal::Buttons::Ok,
            tovradocs::Internal::Severity::Critical);
        return 1;
    }
    tovradocs::registerHostObjects();

    tovradocs::MediaManager manager;
    const QString where = QStringLiteral("Database: ") + options.database
                          + QStringLiteral("    Library: ") + options.libraryFolder;
    tovradocs::FrontDesk desk(host.value(), manager, where);
    host.value()->setParentWindow(&desk);
    manager.SetDataLink(host.value(), &desk);
    desk.show();
    return app.exec();
}
