#pragma once

#include "library/filepicker.h"

namespace tovradocs::Internal {

class ImgView;

// "Image Selector": chooses a picture file with a live preview.
class PicSelector : public FilePicker
{
    Q_OBJECT

public:
    explicit PicSelector(QWidget *owner = nullptr);
    ~PicSelector() override;

    static constexpr qint32 GetWindowID() { return 208; }

    // Owned by the host's parent window; the chosen path or "".
    QString SelectImage();
    // Bitmaps and JPEG pictures only, owned by Owner.
    QString SelectSystemImage(QWidget *Owner);

    // The path last chosen in any image chooser.
    static QString &lastChosenImage();

protected:
    void loadPreview(const QString &path) override;
    void clearPreview() override;
    void doneClicked() override;
    QString invalidCaption() const override;

private:
    ImgView *m_preview;
};

} // namespace tovradocs::Internal
