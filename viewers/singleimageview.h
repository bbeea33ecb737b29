#pragma once

#include <QDialog>
#include <QString>

namespace tovradocs::Internal {

class ImgView;

// The share of the screen's width and height the single picture window takes
// for a value of setting 132; unknown values take the largest.
double singleViewFraction(qint32 setting);

// "Image Viewer" for one picture: a window sized to a share of the screen
// chosen by the host's setting 132, centred over the host's window, with the
// picture filling it. Modeless, owned by the host's parent window; deletes
// itself when closed. UI thread only.
class SingleImageView : public QDialog
{
    Q_OBJECT

public:
    explicit SingleImageView(QWidget *owner = nullptr);
    ~SingleImageView() override;

    void ViewSingleImage(const QString &path, const QString &caption);

    ImgView *view() const { return m_view; }

private:
    void centreOverHost();

    ImgView *m_view;
};

} // namespace tovradocs::Internal
