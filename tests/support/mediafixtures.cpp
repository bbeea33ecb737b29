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

// Runs a pipeline whose last element writes path; path, or "" on failure.
QString runToFile(const QString &pipeline, const QString &path)
{
    const QString gst = gstLaunch();
    if (gst.isEmpty())
        return {};
    QProcess make;
    const QString command = pipeline + QStringLiteral(" ! filesink location=\"%1\"").arg(path);
    make.start(gst, QStringList{QStringLiteral("-q")} + QProcess::splitCommand(command));
    const bool ok = make.waitForFinished(60000) && make.exitStatus() == QProcess::NormalExit
        && make.exitCode() == 0;
    return ok && QFile::exists(path) ? path : QString();
}

QString testVideo(QSize size, int frames, const QString &pattern = {})
{
    return QStringLiteral("videotestsrc%1 num-buffers=%2 ! video/x-raw,width=%3,height=%4,framerate=25/1")
        .arg(pattern.isEmpty() ? QString() : QStringLiteral(" pattern=") + pattern)
        .arg(frames)
        .arg(size.width())
        .arg(size.height());
}

// Runs a program to its end; true when it wrote path.
bool runTool(const QString &program, const QStringList &arguments, const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(program);
    if (tool.isEmpty())
        return false;
    QProcess run;
    run.start(tool, arguments);
    return run.waitForFinished(60000) && run.exitStatus() == QProcess::NormalExit
        && run.exitCode() == 0 && QFile::exists(path);
}

} // namespace

QString makeHeic(const QString &path, const QImage &picture)
{
    const QString source = path + QStringLiteral(".source.png");
    const bool made = picture.save(source, "PNG")
        && runTool(QStringLiteral("heif-enc"), {QStringLiteral("-q"), QStringLiteral("90"),
                                                QStringLiteral("-o"), path, source},
                   path);
    QFile::remove(source);
    return made ? path : QString();
}

QString makeDicom(const QString &path, const QImage &picture)
{
    const QString source = path + QStringLiteral(".source.jpg");
    const bool made = picture.save(source, "JPEG", 95)
        && runTool(QStringLiteral("img2dcm"), {QStringLiteral("-i"), QStringLiteral("JPEG"), source, path}, path);
    QFile::remove(source);
    return made ? path : QString();
}

bool canMakeClips()
{
    return !gstLaunch().isEmpty();
}

QString makeClip(const QString &path, QSize size, int frames, const QString &pattern)
{
    return runToFile(testVideo(size, frames, pattern) + QStringLiteral(" ! jpegenc ! avimux"), path);
}

QString makeMp4Clip(const QString &path, QSize size, int frames)
{
    return runToFile(testVideo(size, frames) + QStringLiteral(" ! videoconvert ! avenc_mpeg4 ! mp4mux"), path);
}

QString makeSoundOnlyFile(const QString &path)
{
    return runToFile(QStringLiteral("audiotestsrc num-buffers=20 ! audioconvert ! wavenc"), path);
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
