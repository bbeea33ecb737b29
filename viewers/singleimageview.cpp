#include "viewers/singleimageview.h"

#include "component/hostlink.h"
#include "component/keyhandler.h"
#include "component/mediaicons.h"
#include "viewers/adjustpanel.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace tovradocs::Internal {

namespace SingleImageViewDetail {

const QString windowName = QStringLiteral("SingleImageView");

QString localPath(const QString &path)
{
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return local;
}

} // namespace SingleImageViewDetail

double singleViewFraction(qint32 setting)
{
    switch (setting) {
    case 1:
        return 0.83;
    case 2:
        return 0.6;
    case 3:
        return 0.45;
    case 4:
        return 0.33;
    default:
        return 0.97;
    }
}

SingleImageView::SingleImageView(QWidget *owner)
    : QDialog(owner)
    , m_view(new AdjustableView(this))
{
    setObjectName(SingleImageViewDetail::windowName);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Image Viewer"));
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(ImageViewerIcon))));
    m_view->canvas()->setObjectName(QStringLiteral("ImxView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(640, 480);
    KeyHandler::install(this);
}

SingleImageView::~SingleImageView() = default;

void SingleImageView::ViewSingleImage(const QString &path, const QString &caption)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    setWindowTitle(caption);
    if (!parentWidget()) {
        if (QWidget *host = parentWindow())
            setParent(host, windowFlags());
    }
    const QString file = SingleImageViewDetail::localPath(path);
    if (QFileInfo::exists(file)) {
        qint32 setting = 0;
        trapErrors(SingleImageViewDetail::windowName, [&] {
            if (DataLink *link = dataLink())
                setting = link->GetSystemSetting(132).toInt();
        });
        const double share = singleViewFraction(setting);
        QScreen *s = parentWidget() ? parentWidget()->screen() : screen();
        if (s) {
            const QSize area = s->availableGeometry().size();
            resize(int(area.width() * share), int(area.height() * share));
        }
        m_view->canvas()->openPicture(0, file);
        centreOverHost();
    }
    show();
    raise();
    activateWindow();
    QGuiApplication::restoreOverrideCursor();
}

void SingleImageView::centreOverHost()
{
    QRect over;
    if (QWidget *host = parentWindow(); host && host->isVisible())
        over = host->frameGeometry();
    else if (QScreen *s = screen())
        over = s->availableGeometry();
    if (!over.isValid())
        return;
    QPoint at(over.x() + (over.width() - width()) / 2, over.y() + (over.height() - height()) / 2);
    // A small host window must not push the picture off the screen.
    if (QScreen *s = QGuiApplication::screenAt(over.center())) {
        const QRect area = s->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width() + 1)));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height() + 1)));
    }
    move(at);
}

} // namespace tovradocs::Internal
