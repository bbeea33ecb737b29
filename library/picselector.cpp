#include "library/picselector.h"

#include "component/filetypes.h"
#include "component/hostlink.h"
#include "controls/imgview.h"

namespace tovradocs::Internal {

namespace PicSelectorDetail {
// Large enough for the preview pane; the picture itself is decoded off the
// window's thread and scaled while decoding where the format allows.
constexpr int previewPixels = 512;
} // namespace PicSelectorDetail

PicSelector::PicSelector(QWidget *owner)
    : FilePicker(owner, GetWindowID(), QStringLiteral("Image Selector"))
    , m_preview(new ImgView)
{
    setObjectName(QStringLiteral("PicSelector"));
    m_preview->setObjectName(QStringLiteral("ImxPreview"));
    m_preview->setThumbnailMode(PicSelectorDetail::previewPixels);
    setPreview(m_preview);
    connect(m_preview, &ImgView::loaded, this, [this](bool ok) {
        if (!ok)
            m_preview->setCaption(QStringLiteral("Invalid picture"));
        previewLoaded(m_preview->fileName(), ok);
    });
}

PicSelector::~PicSelector() = default;

QString &PicSelector::lastChosenImage()
{
    static QString path;
    return path;
}

QString PicSelector::SelectImage()
{
    // The formats the first list knew, and every picture a practice has today.
    prepare({withKindPatterns(QStringLiteral("*.bmp;*.dcx;*.dib;*.jif;*.jpg;*.pbm;*.pcx;*.pgm;*.pic;"
                                             "*.png;*.ppm;*.rle;*.tga;*.tif;*.wmf;*.wpg"),
                              1),
             QStringLiteral("All Files (*.*)")});
    return run(nullptr);
}

QString PicSelector::SelectSystemImage(QWidget *Owner)
{
    prepare({QStringLiteral("*.bmp;*.jpg")});
    return run(Owner);
}

void PicSelector::loadPreview(const QString &path)
{
    m_preview->setCaption(QString());
    m_preview->setFileName(path);
}

void PicSelector::clearPreview()
{
    m_preview->setFileName(QString());
}

void PicSelector::doneClicked()
{
    if (chosenPath().isEmpty()) {
        notify(QStringLiteral("You need to select an Image before proceeding "));
        return;
    }
    lastChosenImage() = chosenPath();
    accept();
}

QString PicSelector::invalidCaption() const
{
    return QStringLiteral("Viewer [Invalid picture]");
}

} // namespace tovradocs::Internal
