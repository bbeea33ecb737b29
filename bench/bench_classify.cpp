// Classifies files as the library's writers do (picture, video or document,
// by name and, where the name says nothing known, by the first bytes) and
// compares with `file --mime-type` on the same files, one process given the
// whole list. Two sets: files without an extension (every one is read) and
// files named as a practice names them (the name decides). The sides take
// turns each round; medians are compared. Run on a warm page cache.
//
//   bench_classify [--files 10000] [--rounds 5]

#include "benchstats.h"
#include "component/filetypes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tovradocs::Internal;

namespace {

// The first bytes of what sensors, phones and cameras write, padded to 16 KiB
// so that a reader that reads whole files is caught.
QList<QByteArray> heads()
{
    const QByteArray pad(16 * 1024, 'x');
    QByteArray dicom(128, 0);
    dicom += "DICM";
    return {
        dicom + pad,
        QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 10) + pad,
        QByteArray("\x89PNG\r\n\x1A\n", 8) + pad,
        QByteArray("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24) + pad,
        QByteArray("\0\0\0\x1C" "ftypisom\0\0\x02\0isomiso2avc1mp41", 28) + pad,
        QByteArray("\x1A\x45\xDF\xA3\x9F\x42\x86\x81", 8) + pad,
        QByteArray("%PDF-1.7\n") + pad,
        QByteArray("Referral letter\n") + pad,
    };
}

const char *const kExtensions[] = {".dcm", ".jpg", ".png", ".heic", ".mp4", ".mkv", ".pdf", ".txt"};

QStringList makeFiles(const QString &folder, int count, bool named)
{
    QDir().mkpath(folder);
    const QList<QByteArray> contents = heads();
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const int kind = i % int(contents.size());
        const QString name = folder + QStringLiteral("/IMG%1").arg(i, 6, 10, QLatin1Char('0'))
            + (named ? QString::fromLatin1(kExtensions[kind]) : QString());
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly) || f.write(contents.at(kind)) != contents.at(kind).size())
            qFatal("cannot write %s", qPrintable(name));
        files << name;
    }
    return files;
}

qint64 runOurs(const QStringList &files, int *pictures)
{
    QElapsedTimer timer;
    timer.start();
    int found = 0;
    for (const QString &file : files)
        found += classifyFile(file) == 1 ? 1 : 0;
    const qint64 elapsed = timer.nsecsElapsed();
    *pictures = found;
    return elapsed;
}

qint64 runFile(const QString &listFile)
{
    QElapsedTimer timer;
    timer.start();
    QProcess file;
    file.setStandardOutputFile(QProcess::nullDevice());
    file.start(QStringLiteral("file"), {QStringLiteral("--mime-type"), QStringLiteral("-b"),
                                        QStringLiteral("-f"), listFile});
    if (!file.waitForFinished(600000) || file.exitCode() != 0)
        qFatal("file failed");
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("files"), QStringLiteral("Files in each set."), QStringLiteral("n"),
                      QStringLiteral("10000")});
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("Rounds."), QStringLiteral("n"),
                      QStringLiteral("5")});
    parser.process(app);
    const int count = parser.value(QStringLiteral("files")).toInt();
    const int rounds = parser.value(QStringLiteral("rounds")).toInt();

    QTemporaryDir dir;
    for (const bool named : {false, true}) {
        const QString folder = dir.filePath(named ? QStringLiteral("named") : QStringLiteral("bare"));
        const QStringList files = makeFiles(folder, count, named);
        const QString list = folder + QStringLiteral(".list");
        QFile out(list);
        if (!out.open(QIODevice::WriteOnly) || out.write(files.join(u'\n').toLocal8Bit() + '\n') < 0)
            qFatal("cannot write the list");
        out.close();
        std::vector<qint64> ours, peer;
        int pictures = 0;
        runOurs(files, &pictures); // warm the cache for both
        runFile(list);
        for (int r = 0; r < rounds; ++r) {
            ours.push_back(runOurs(files, &pictures));
            peer.push_back(runFile(list));
        }
        const double o = median(ours) / 1e6;
        const double p = median(peer) / 1e6;
        std::printf("%-28s files %6d  ours %8.1f ms  file --mime-type %8.1f ms  ratio %.2f  (pictures %d)\n",
                    named ? "named as a practice names" : "no extension", count, o, p, o / p, pictures);
    }
    return 0;
}
