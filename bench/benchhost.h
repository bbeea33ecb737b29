#pragma once

#include "host/referencehost.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <random>

// A reference host over a fresh SQLite practice in folder; null (and a line
// on stderr) when it cannot open.
inline std::shared_ptr<tovradocs::ReferenceHost> openBenchHost(const QString &folder)
{
    tovradocs::HostOptions options;
    options.database = folder + QStringLiteral("/practice.db");
    options.libraryFolder = folder + QStringLiteral("/Library");
    options.dataFolder = folder;
    auto opened = tovradocs::ReferenceHost::open(options);
    if (!opened) {
        std::fprintf(stderr, "cannot open the host: %s\n", qPrintable(opened.error()));
        return nullptr;
    }
    return opened.value();
}

// count files of 3 to 5 MB of random bytes, named IMG_0000.<suffix> and on:
// camera pictures do not compress, and neither must these.
inline QStringList writeCameraSizedFiles(const QString &folder, int count, const QString &suffix)
{
    std::mt19937_64 random(2026);
    std::uniform_int_distribution<int> size(3 << 20, 5 << 20);
    QStringList files;
    QByteArray data;
    for (int i = 0; i < count; ++i) {
        data.resize(size(random) & ~7);
        auto *words = reinterpret_cast<quint64 *>(data.data());
        for (qsizetype w = 0; w < data.size() / 8; ++w)
            words[w] = random();
        const QString path = folder + QStringLiteral("/IMG_%1.").arg(i, 4, 10, QLatin1Char('0')) + suffix;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            qFatal("cannot write %s", qPrintable(path));
        files << path;
    }
    return files;
}

// Benchmarks with windows run on the offscreen platform when there is no
// display, so --help and a run over ssh work alike.
inline void offscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The camera folder of a copy or import bench: count files under base/camera,
// announced on stdout, with their total size.
struct CameraFolder
{
    QStringList files;
    qint64 bytes = 0;
};
inline CameraFolder writeCameraFolder(const QString &base, int count, const QString &suffix)
{
    const QString folder = base + QStringLiteral("/camera");
    QDir().mkpath(folder);
    std::printf("writing %d pictures...\n", count);
    CameraFolder camera;
    camera.files = writeCameraSizedFiles(folder, count, suffix);
    for (const QString &f : std::as_const(camera.files))
        camera.bytes += QFileInfo(f).size();
    return camera;
}
