#include "support/mediafixtures.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace tovradocs::Testing {

namespace {

QString gstLaunch()
{
    return QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
}

bool runPipeline(const QString &pipeline)
{
    const QString gst = gstLaunch();
    if (gst.isEmpty())
        return false;
    QProcess make;
    make.start(gst, QStringList{QStringLiteral("-q")} + QProcess::splitCommand(pipeline));
    return make.waitForFinished(60000) && make.exitStatus() == QProcess::NormalExit
        && make.exitCode() == 0;
}

} // namespace

bool canMakeClips()
{
    return !gstLaunch().isEmpty();
}

QString makeClip(const QString &path, QSize size, int frames, const QString &pattern)
{
    const QString source = pattern.isEmpty()
        ? QStringLiteral("videotestsrc")
        : QStringLiteral("videotestsrc pattern=") + pattern;
    const QString pipeline =
        QStringLiteral("%1 num-buffers=%2 ! video/x-raw,width=%3,height=%4,framerate=25/1 ! "
                       "jpegenc ! avimux ! filesink location=\"%5\"")
            .arg(source)
            .arg(frames)
            .arg(size.width())
            .arg(size.height())
            .arg(path);
    return runPipeline(pipeline) && QFile::exists(path) ? path : QString();
}

QString makeMp4Clip(const QString &path, QSize size, int frames)
{
    const QString pipeline =
        QStringLiteral("videotestsrc num-buffers=%1 ! video/x-raw,width=%2,height=%3,framerate=25/1 ! "
                       "videoconvert ! avenc_mpeg4 ! mp4mux ! filesink location=\"%4\"")
            .arg(frames)
            .arg(size.width())
            .arg(size.height())
            .arg(path);
    return runPipeline(pipeline) && QFile::exists(path) ? path : QString();
}

QString makeSoundOnlyFile(const QString &path)
{
    const QString pipeline =
        QStringLiteral("audiotestsrc num-buffers=20 ! audioconvert ! wavenc ! filesink location=\"%1\"")
            .arg(path);
    return runPipeline(pipeline) && QFile::exists(path) ? path : QString();
}

QString truncatedCopy(const QString &source, const QString &path, qint64 bytes)
{
    QFile in(source);
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return {};
    out.write(in.read(bytes));
    return out.error() == QFile::NoError ? path : QString();
}

} // namespace tovradocs::Testing
