#pragma once

#include <QImage>
#include <QList>
#include <QListWidget>
#include <QString>
#include <QUrl>

namespace tovradocs::Internal {

class ThumbnailProvider;

// A list of documents shown as thumbnails with a selection mark each. An item
// knows its file and whether that file is a temporary one its owner made.
// Every item has the same cell, big enough for its thumbnail, its tick box and
// its name on one line, whether its thumbnail has arrived yet or not.
// Positions are 1-based, as the windows count them. UI thread only.
class DocList : public QListWidget
{
    Q_OBJECT

public:
    explicit DocList(QWidget *parent = nullptr);

    // Appends an item, selected; picture, when given, is its thumbnail (saves
    // decoding a file the caller has just written). Returns its position.
    int addItem(const QString &path, bool temporary, const QImage &picture = QImage());
    int itemCount() const { return count(); }
    QString itemPath(int position) const;
    bool isItemTemporary(int position) const;
    bool isItemSelected(int position) const;
    void setItemSelected(int position, bool selected);
    // Removes the item; out-of-range positions are ignored.
    void removeItem(int position);
    // Position of the first item with this path (exact match), 0 when none.
    int findPath(const QString &path) const;
    // Redraws thumbnails that have not arrived yet.
    void refresh();

    void setThumbnailProvider(ThumbnailProvider *provider);
    int thumbnailPixels() const { return m_pixels; }
    // The size of every item: thumbnail and tick box, the name below.
    QSize cellSize() const;

Q_SIGNALS:
    // Local files and other URLs dropped from outside; the owner decides what to keep.
    void urlsDropped(const QList<QUrl> &urls);

protected:
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QListWidgetItem *at(int position) const;
    void thumbnailArrived(const QString &path, const QImage &thumbnail);
    void requestThumbnail(const QString &path);
    void applyCellSize();
    QIcon placeholder() const;

    ThumbnailProvider *m_provider = nullptr;
    int m_pixels = 96;
};

} // namespace tovradocs::Internal
