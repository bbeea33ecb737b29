// The icon grabber's file walk (listing, and listing with decoding) against
// wrestool -l over the same files, and
// the time the icon library takes to show a set of 50 icons.
//
//   bench_icongrabber [--dir /usr/lib/x86_64-linux-gnu] [--rounds 3]
//
// Both walks read every regular file of the folder (not its subfolders), as
// the grabber does with "Others" checked. Each round runs both; the page
// cache is warm after the first.

#include "benchhost.h"
#include "icons/iconlib.h"
#include "icons/peiconreader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTabBar>

#include <cstdio>

using namespace tovradocs::Internal;

namespace {

struct Walk
{
    qint64 ms = 0;
    int files = 0;
    int icons = 0;
};

// Listing only, as wrestool -l does.
Walk listed(const QStringList &files)
{
    Walk w;
    QElapsedTimer t;
    t.start();
    for (const QString &f : files) {
        w.icons += iconCountOfFile(f);
        ++w.files;
    }
    w.ms = t.elapsed();
    return w;
}

// What the grabber does: list and decode every icon.
Walk ours(const QStringList &files)
{
    Walk w;
    QElapsedTimer t;
    t.start();
    for (const QString &f : files) {
        w.icons += int(iconsOfFile(f).icons.size());
        ++w.files;
    }
    w.ms = t.elapsed();
    return w;
}

Walk wrestool(const QStringList &files)
{
    Walk w;
    QElapsedTimer t;
    t.start();
    for (qsizetype at = 0; at < files.size(); at += 200) {
        QProcess p;
        p.start(QStringLiteral("wrestool"), QStringList{QStringLiteral("-l"), QStringLiteral("--type=group_icon")}
                                                 + files.mid(at, 200));
        p.waitForFinished(-1);
        w.icons += int(p.readAllStandardOutput().count("--type=14"));
    }
    w.files = int(files.size());
    w.ms = t.elapsed();
    return w;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Icon grabber against wrestool -l over the same files."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Folder to walk."), QStringLiteral("dir"),
                      QStringLiteral("/usr/lib/x86_64-linux-gnu")});
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("Rounds."), QStringLiteral("n"), QStringLiteral("3")});
    parser.process(app);
    const QDir dir(parser.value(QStringLiteral("dir")));
    QStringList files;
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name))
        files << info.absoluteFilePath();
    std::printf("%lld files in %s\n", qlonglong(files.size()), qPrintable(dir.path()));
    const int rounds = parser.value(QStringLiteral("rounds")).toInt();
    for (int r = 1; r <= rounds; ++r) {
        const Walk l = listed(files);
        const Walk a = ours(files);
        const Walk b = wrestool(files);
        const double base = b.ms ? double(b.ms) : 1.0;
        std::printf("round %d: wrestool -l %lld ms (%d icon groups); listing %lld ms (%d icons), ratio %.3f; "
                    "listing and decoding %lld ms (%d icons), ratio %.3f\n",
                    r, b.ms, b.icons, l.ms, l.icons, double(l.ms) / base, a.ms, a.icons, double(a.ms) / base);
    }

    IconLib window(nullptr, nullptr);
    auto *tabs = window.findChild<QTabBar *>(QStringLiteral("TabSet"));
    for (int set : {2, 7, 14}) {
        QElapsedTimer t;
        t.start();
        tabs->setCurrentIndex(set - 1);
        std::printf("library set %d (50 icons) shown in %lld ms\n", set, t.elapsed());
    }
    return 0;
}
