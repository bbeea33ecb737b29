#include "library/entrydrag.h"

#include "controls/imgview.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>

namespace tovradocs::Internal {

namespace {

// Starts a drag once the pointer has moved far enough with the button held.
class EntryDragFilter : public QObject
{
public:
    explicit EntryDragFilter(ImgView *picture) : QObject(picture), m_picture(picture) {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton)
                m_pressedAt = mouse->position().toPoint();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_pressedAt.reset();
        } else if (event->type() == QEvent::MouseMove && m_pressedAt) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if ((mouse->buttons() & Qt::LeftButton)
                && (mouse->position().toPoint() - *m_pressedAt).manhattanLength()
                       >= QApplication::startDragDistance()) {
                m_pressedAt.reset();
                startDrag();
                return true;
            }
        }
        return false;
    }

private:
    void startDrag()
    {
        const qint32 code = m_picture->tag().toInt();
        if (code <= 0)
            return;
        auto *drag = new QDrag(m_picture);
        drag->setMimeData(mimeDataForEntries({code}));
        const QPixmap shown = m_picture->grab();
        if (!shown.isNull())
            drag->setPixmap(shown.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        drag->exec(Qt::CopyAction);
    }

    QPointer<ImgView> m_picture;
    std::optional<QPoint> m_pressedAt;
};

} // namespace

QMimeData *mimeDataForEntries(const QList<qint32> &entryCodes)
{
    auto *data = new QMimeData;
    QStringList codes;
    for (qint32 code : entryCodes)
        codes << QString::number(code);
    data->setData(kEntryMimeType, codes.join(u'\n').toLatin1());
    return data;
}

QList<qint32> entryCodesFromMimeData(const QMimeData *data)
{
    QList<qint32> codes;
    if (!data || !data->hasFormat(kEntryMimeType))
        return codes;
    for (const QByteArray &line : data->data(kEntryMimeType).split('\n')) {
        bool ok = false;
        const qint32 code = line.trimmed().toInt(&ok);
        if (ok && code > 0)
            codes << code;
    }
    return codes;
}

void enableEntryDrag(ImgView *picture)
{
    picture->installEventFilter(new EntryDragFilter(picture));
}

} // namespace tovradocs::Internal
