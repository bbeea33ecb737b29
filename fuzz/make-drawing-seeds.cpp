// Writes seed corpora for the drawing readers from the drawings the tests use:
// <out>/corpus-ils and <out>/corpus-pal.

#include "controls/ilsformat.h"
#include "controls/palettefile.h"
#include "tests/controls/sampledrawing.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

namespace {

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("corpus-ils"));
    out.mkpath(QStringLiteral("corpus-pal"));
    using namespace tovradocs;
    const Internal::Drawing every = Testing::everyKindDrawing();
    put(out.filePath(QStringLiteral("corpus-ils/every-kind")), Internal::writeIls(every));
    put(out.filePath(QStringLiteral("corpus-ils/empty")), Internal::writeIls(Internal::Drawing()));
    int n = 0;
    for (const Internal::DrawObject &o : every.objects) {
        Internal::Drawing one;
        one.objects << o;
        put(out.filePath(QStringLiteral("corpus-ils/object%1").arg(++n)), Internal::writeIls(one));
    }
    // Small files claiming far more picture pixels than a drawing holds.
    put(out.filePath(QStringLiteral("corpus-ils/fifteen-8000-pixel-pictures")),
        Internal::writeIls(Testing::bigPicturesDrawing(15, 8000)));
    put(out.filePath(QStringLiteral("corpus-ils/fifteen-2048-pixel-pictures")),
        Internal::writeIls(Testing::bigPicturesDrawing(15, 2048)));
    const QList<QColor> colors = {Qt::black, Qt::red, QColor(1, 2, 3), Qt::white};
    put(out.filePath(QStringLiteral("corpus-pal/riff")), Internal::writeRiffPalette(colors));
    put(out.filePath(QStringLiteral("corpus-pal/jasc")), Internal::writeJascPalette(colors));
    return 0;
}
