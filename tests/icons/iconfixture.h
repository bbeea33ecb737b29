#pragma once

#include "icons/iconkit.h"
#include "support/testhost.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Runs a program to its end; false, with what it said, when it fails.
inline bool runTool(const QString &program, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess proc;
    proc.start(program, args);
    if (!proc.waitForFinished(30000) || proc.exitCode() != 0) {
        qWarning() << program << args << proc.readAllStandardError();
        return false;
    }
    if (out)
        *out = proc.readAllStandardOutput();
    return true;
}

inline bool haveMinGw()
{
    return !QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-windres")).isEmpty();
}

// A resource-only library holding the icon files as icons 1, 2, ...
inline bool buildIconLibrary(const QString &dll, const QStringList &icoFiles)
{
    QString rc;
    for (int i = 0; i < icoFiles.size(); ++i)
        rc += QStringLiteral("%1 ICON \"%2\"\n").arg(i + 1).arg(icoFiles.at(i));
    const QString rcFile = dll + QStringLiteral(".rc");
    const QString obj = dll + QStringLiteral(".o");
    return tovradocs::Testing::writeFile(rcFile, rc.toUtf8())
           && runTool(QStringLiteral("x86_64-w64-mingw32-windres"),
                      {QStringLiteral("--preprocessor=cpp"), rcFile, QStringLiteral("-O"), QStringLiteral("coff"),
                       QStringLiteral("-o"), obj})
           && runTool(QStringLiteral("x86_64-w64-mingw32-ld"),
                      {QStringLiteral("-shared"), QStringLiteral("-e"), QStringLiteral("0"), QStringLiteral("-o"), dll,
                       obj});
}

inline tovradocs::Internal::IconImage filledIcon(QRgb colour)
{
    tovradocs::Internal::Planes p = tovradocs::Internal::Planes::blank();
    p.image.fill(colour);
    p.mask.fill(0xff000000);
    return p.toIcon();
}
