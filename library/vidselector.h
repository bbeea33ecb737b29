#pragma once

#include "library/filepicker.h"

class QStackedLayout;

namespace tovradocs::Internal {

class ImgView;
class VidPlay;

// "Select Video File": chooses a video file with a live preview: a frame a
// tenth of the way in with a play mark, which plays the clip when clicked
// (or on Space).
class VidSelector : public FilePicker
{
    Q_OBJECT

public:
    explicit VidSelector(QWidget *owner = nullptr);
    ~VidSelector() override;

    static constexpr qint32 GetWindowID() { return 158; }

    // Owned by the host's parent window; the chosen path or "".
    QString SelectVideo();

protected:
    void loadPreview(const QString &path) override;
    void clearPreview() override;
    void doneClicked() override;
    QString invalidCaption() const override;

private:
    void playPreview();

    QStackedLayout *m_stack;
    ImgView *m_frame;
    VidPlay *m_preview;
};

} // namespace tovradocs::Internal
