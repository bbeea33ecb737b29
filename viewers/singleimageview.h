#pragma once

#include <QDialog>
#include <QString>

namespace tovradocs::Internal {

class AdjustableView;

// The share of the screen's width and height the single picture window takes
// for a value of setting 132; unknown values take the largest.
double singleViewFraction(qint32 setting);

// "Image Viewer" for one picture: a window sized to a share of the screen
// chosen by the host's setting 132, centred over the host's window, with the
// picture filling it under its adjustment commands. Modeless, owned by the host's parent window; deletes
// itself when closed. UI thread only.
class SingleImageView : public QDialog
{
    Q_OBJECT

public:
    explicit SingleImageView(QWidget *owner = nullptr);
    ~SingleImageView() override;

    void ViewSingleImage(const QString &path, const QString &caption);

    AdjustableView *view() const { return m_view; }

private:
    void centreOverHost();

    AdjustableView *m_view;
};

} // namespace tovradocs::Internal
