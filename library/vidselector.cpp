#include "library/vidselector.h"

#include "component/filetypes.h"
#include "controls/imgview.h"
#include "controls/vidplay.h"

#include <QShortcut>
#include <QStackedLayout>

namespace tovradocs::Internal {

namespace VidSelectorDetail {
// The frame is decoded off the window's thread and kept in the thumbnail cache.
constexpr int framePixels = 512;
} // namespace VidSelectorDetail

VidSelector::VidSelector(QWidget *owner)
    : FilePicker(owner, GetWindowID(), QStringLiteral("Select Video File"))
    , m_frame(new ImgView)
    , m_preview(new VidPlay)
{
    setObjectName(QStringLiteral("VidSelector"));
    m_frame->setObjectName(QStringLiteral("ImxVideoFrame"));
    m_frame->setThumbnailMode(VidSelectorDetail::framePixels);
    m_frame->setPlayMark(true);
    m_frame->setCursor(Qt::PointingHandCursor);
    m_frame->setFocusPolicy(Qt::StrongFocus);
    m_frame->setToolTip(QStringLiteral("Click to play the clip"));
    m_preview->setObjectName(QStringLiteral("VidPreview"));
    // A preview in a waiting room must not start talking.
    m_preview->setMuted(true);

    auto *holder = new QWidget;
    m_stack = new QStackedLayout(holder);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_frame);
    m_stack->addWidget(m_preview);
    setPreview(holder);

    connect(m_preview, &VidPlay::loaded, this,
            [this](bool ok) { previewLoaded(m_preview->fileName(), ok); });
    connect(m_frame, &ImgView::clicked, this, [this](Qt::MouseButton button) {
        if (button == Qt::LeftButton)
            playPreview();
    });
    auto *space = new QShortcut(QKeySequence(Qt::Key_Space), m_frame, nullptr, nullptr,
                                Qt::WidgetShortcut);
    connect(space, &QShortcut::activated, this, &VidSelector::playPreview);
}

VidSelector::~VidSelector() = default;

QString VidSelector::SelectVideo()
{
    prepare({withKindPatterns(QStringLiteral("*.avi;*.mov"), 2), QStringLiteral("All Files (*.*)")});
    return run(nullptr);
}

void VidSelector::loadPreview(const QString &path)
{
    m_stack->setCurrentWidget(m_frame);
    m_preview->stop();
    m_frame->setFileName(path);
    // Opened beside the frame, so a file that cannot be played says so at
    // once; it plays when asked.
    m_preview->open(path);
}

void VidSelector::clearPreview()
{
    m_stack->setCurrentWidget(m_frame);
    m_frame->setFileName(QString());
    m_preview->stop();
    m_preview->open(QString());
}

void VidSelector::playPreview()
{
    if (!m_preview->isLoaded())
        return;
    m_stack->setCurrentWidget(m_preview);
    m_preview->play();
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
