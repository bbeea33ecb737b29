#include "app/frontdesk.h"

#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "host/referencehost.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

namespace {

struct Options
{
    QCommandLineOption database{
        QStringLiteral("database"),
        QStringLiteral("Practice database: a SQLite file, or postgresql://user@host:port/database."),
        QStringLiteral("file-or-url")};
    QCommandLineOption library{QStringLiteral("library"),
                               QStringLiteral("Folder that holds the library files."),
                               QStringLiteral("folder")};
    QCommandLineOption demo{QStringLiteral("demo"),
                            QStringLiteral("Fill an empty --database with the demo practice.")};
    QCommandLineOption teeth{QStringLiteral("teeth"),
                             QStringLiteral("Tooth numbering: fdi (default) or universal."),
                             QStringLiteral("system"), QStringLiteral("fdi")};
};

void describe(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Documents and media of a dental practice, on a demo practice by default."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.database);
    parser.addOption(options.library);
    parser.addOption(options.demo);
    parser.addOption(options.teeth);
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("TovraDocs"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));
}

// --help and --version answer on a terminal with no display at all.
void answerWithoutDisplay(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "-?" || arg == "--help-all"
            || arg == "--version" || arg == "-v") {
            QCoreApplication app(argc, argv);
            nameApplication();
            QCommandLineParser parser;
            const Options options;
            describe(parser, options);
            parser.process(app); // prints and exits
        }
    }
}

// The drawings the icon theme gets on installing, for a program run from its
// build folder; the smallest size has a drawing of its own.
QIcon builtInIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(size < 22 ? QStringLiteral(":/icons/" TOVRA_APP_ID "-16.svg")
                                      : QStringLiteral(":/icons/" TOVRA_APP_ID ".svg"));
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace

int main(int argc, char **argv)
{
    answerWithoutDisplay(argc, argv);

    // The web page window's engine refuses to start as root with its sandbox on.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QApplication app(argc, argv);
    nameApplication();
    // Ties the windows to the desktop entry (Wayland's app id, the task bar's icon).
    QGuiApplication::setDesktopFileName(QStringLiteral(TOVRA_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(TOVRA_APP_ID), builtInIcon()));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));

    QCommandLineParser parser;
    const Options cli;
    describe(parser, cli);
    parser.process(app);

    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataFolder);

    tovradocs::HostOptions options;
    options.dataFolder = dataFolder;
    options.database = parser.isSet(cli.database)
                           ? parser.value(cli.database)
                           : QDir(dataFolder).filePath(QStringLiteral("practice.sqlite"));
    options.libraryFolder = parser.isSet(cli.library)
                                ? parser.value(cli.library)
                                : QDir(dataFolder).filePath(QStringLiteral("Library"));
    options.createDemoPractice = !parser.isSet(cli.database) || parser.isSet(cli.demo);
    options.createStandardLists = true;

    auto host = tovradocs::ReferenceHost::open(options);
    if (!host) {
        std::fprintf(stderr, "tovradocs: %s\n", qPrintable(host.error()));
        tovradocs::Internal::DialogService::message(
            nullptr, QStringLiteral("The practice database could not be opened:\n") + host.error(),
            QStringLiteral("TovraDocs"), tovradocs::Internal::Buttons::Ok,
            tovradocs::Internal::Severity::Critical);
        return 1;
    }
    tovradocs::registerHostObjects(
        parser.value(cli.teeth).compare(QLatin1String("universal"), Qt::CaseInsensitive) == 0
            ? tovradocs::ToothSystem::Universal
            : tovradocs::ToothSystem::Fdi);

    tovradocs::MediaManager manager;
    const QString where = QStringLiteral("Database: ") + options.database
                          + QStringLiteral("    Library: ") + options.libraryFolder;
    tovradocs::FrontDesk desk(host.value(), manager, where);
    host.value()->setParentWindow(&desk);
    manager.SetDataLink(host.value(), &desk);
    desk.show();
    return app.exec();
}
