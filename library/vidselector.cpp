#include "library/vidselector.h"

#include "component/filetypes.h"
#include "controls/vidplay.h"

namespace tovradocs::Internal {

VidSelector::VidSelector(QWidget *owner)
    : FilePicker(owner, GetWindowID(), QStringLiteral("Select Video File"))
    , m_preview(new VidPlay)
{
    setObjectName(QStringLiteral("VidSelector"));
    m_preview->setObjectName(QStringLiteral("VidPreview"));
    // A preview in a waiting room must not start talking.
    m_preview->setMuted(true);
    setPreview(m_preview);
    connect(m_preview, &VidPlay::loaded, this, [this](bool ok) {
        if (ok)
            m_preview->play();
        previewLoaded(m_preview->fileName(), ok);
    });
}

VidSelector::~VidSelector() = default;

QString VidSelector::SelectVideo()
{
    prepare({withKindPatterns(QStringLiteral("*.avi;*.mov"), 2), QStringLiteral("All Files (*.*)")});
    return run(nullptr);
}

void VidSelector::loadPreview(const QString &path)
{
    // A file that cannot be opened at all answers loaded(false) at once.
    m_preview->open(path);
}

void VidSelector::clearPreview()
{
    m_preview->stop();
    m_preview->open(QString());
}

void VidSelector::doneClicked()
{
    // The chosen path stays set even when the preview failed.
    if (!chosenPath().isEmpty())
        accept();
}

QString VidSelector::invalidCaption() const
{
    return QStringLiteral("Viewer [Invalid video]");
}

} // namespace tovradocs::Internal
