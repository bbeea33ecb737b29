#pragma once

#include "component/result.h"

#include <QFutureWatcher>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QPainter;

namespace tovradocs::Internal {

class ThumbnailProvider;

// A picture box: loads the file its name points at and draws it scaled to fit,
// keeping the aspect ratio. In thumbnail mode it shows a placeholder at once and
// the picture when the thumbnail service has it, so a grid of them never
// blocks the window on decoding.
class ImgView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(QString tag READ tag WRITE setTag)
    Q_PROPERTY(bool selected READ isSelected WRITE setSelected)

public:
    explicit ImgView(QWidget *parent = nullptr);
    ~ImgView() override;

    // Loads the picture (an empty name clears it). Full mode reads the file
    // before returning and emits loaded(); thumbnail mode emits it later.
    void setFileName(const QString &fileName);
    QString fileName() const { return m_fileName; }

    // pixels > 0: ask the thumbnail service for pictures that fit pixels x
    // pixels instead of reading whole files; 0 goes back to full pictures.
    void setThumbnailMode(int pixels);
    int thumbnailMode() const { return m_thumbnailPixels; }
    // The shared service unless set; the view does not own it.
    void setThumbnailProvider(ThumbnailProvider *provider);
    // Full pictures decode on a worker thread and loaded() follows; the size
    // is known at once from the file's header. For viewers of large pictures.
    void setBackgroundLoading(bool on) { m_background = on; }
    // With background loading: decode only as many pixels as the view shows
    // (again when it grows), so many large pictures side by side cost what
    // the screen holds, not what the files hold.
    void setFitDecoding(bool on);

    // Shown centred while the view holds no picture ("Video", "Document").
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // A small play mark over the picture: the picture is a video's frame.
    bool hasPlayMark() const { return m_playMark; }
    void setPlayMark(bool on);

    // A line drawn along the bottom over the picture (the page's caption),
    // so pictures side by side can be told apart.
    QString label() const { return m_label; }
    void setLabel(const QString &label);

    QString tag() const { return m_tag; }
    void setTag(const QString &tag);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // The keyboard's place in a grid of views: drawn with a focus frame.
    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);

    bool hasPicture() const { return !m_shown.isNull(); }
    // What is drawn: the picture, or its thumbnail in thumbnail mode.
    QImage shownImage() const { return m_shown; }
    // The whole picture; in thumbnail mode it is read from the file on first use.
    QImage picture() const;
    QSize pictureSize() const; // pixels of the whole picture
    QSize pictureSizeTwips() const;
    QString errorString() const { return m_error; }
    // Why no picture is shown, in a few words ("File missing", "Cannot read
    // video"); empty while it is shown or still coming. A view large enough
    // shows errorString() under it.
    QString problem() const { return m_problem; }

    bool copyToClipboard() const;
    // Format from the extension (".png", ".jpg", ".bmp", ...).
    Outcome saveToFile(const QString &path) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void mouseDown(Qt::MouseButton button, const QPoint &pos);
    void mouseUp(Qt::MouseButton button, const QPoint &pos);
    void clicked(Qt::MouseButton button);
    void loaded(bool ok);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void clearPicture();
    void noteFailure(const QString &message);
    void loadFull();
    void requestThumbnail();
    void thumbnailArrived(const QString &path, const QImage &image);
    void thumbnailMissing(const QString &path, const QString &message);
    struct Decoded
    {
        QString path;
        QImage image;
        QString error;
    };
    void fullArrived();
    ThumbnailProvider *provider() const;
    void paintPlayMark(QPainter &p, const QRect &picture) const;
    QSize fitBox() const;

    QString m_fileName;
    QString m_caption;
    QString m_tag;
    QString m_label;
    QString m_error;
    QString m_problem;
    QImage m_shown;
    mutable QImage m_full; // whole picture, when read
    mutable QSize m_fullSize;
    QPixmap m_scaled; // m_shown fitted to the current size
    int m_thumbnailPixels = 0;
    bool m_waiting = false; // thumbnail asked for, not yet here
    bool m_background = false;
    bool m_decoding = false; // whole picture being read on a worker thread
    QFutureWatcher<Decoded> *m_decoder = nullptr;
    bool m_playMark = false;
    bool m_selected = false;
    bool m_current = false;
    bool m_fit = false;
    bool m_refitQueued = false;
    bool m_fitPending = false; // decode waits for the view to be shown
    QSize m_fittedBox; // view pixels the shown picture was decoded for
    Qt::MouseButton m_pressed = Qt::NoButton;
    QPointer<ThumbnailProvider> m_provider;
    QMetaObject::Connection m_loadedConnection;
    QMetaObject::Connection m_failedConnection;
};

} // namespace tovradocs::Internal
