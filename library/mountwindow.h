#pragma once

#include "component/mount.h"
#include "component/mountpainter.h"
#include "component/windowutils.h"
#include "printing/mountprinting.h"

#include <QFutureWatcher>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <optional>

class QAction;

namespace tovradocs::Internal {

// The board of a mount window: draws the mount, takes pages dropped from the
// library window into slots, and lets the keyboard move between slots.
class MountView : public QWidget
{
    Q_OBJECT

public:
    explicit MountView(QWidget *parent = nullptr);

    void setDrawing(const MountDrawing &drawing);
    const MountDrawing &drawing() const { return m_drawing; }
    int selected() const { return m_drawing.selected; }
    void select(int slot);
    // The slot under a point of the widget, -1 for none.
    int slotAt(const QPoint &pos) const;
    QList<QRectF> slotRectangles() const;

Q_SIGNALS:
    void entriesDropped(int slot, const QList<qint32> &entryCodes);
    void slotActivated(int slot);
    void selectionChanged(int slot);
    void clearRequested(int slot);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    MountDrawing m_drawing;
    int m_dropSlot = -1;
};

// One mount of a book: its slots with their pictures and tooth names. Pages
// dragged from the library window fill slots; while "Capture" is on, each
// picture captured into the book fills the next empty slot. Slots whose
// entries were deleted show empty. Modeless; deletes itself when closed.
class MountWindow : public QMainWindow, public HelpIdentified
{
    Q_OBJECT

public:
    explicit MountWindow(QWidget *owner = nullptr);
    ~MountWindow() override;
    qint32 GetWindowID() const override { return 290; }

    // Opens the mount entry of a book. False (with a message) when the file
    // is no mount; the window then stays closed. Unshown, it only exports.
    bool openMount(qint32 bookCode, qint32 mountEntryCode, const QString &fileName, bool shown = true);

    const Mount &mount() const { return m_mount; }
    QString fileName() const { return m_fileName; }
    QStringList captions() const { return m_drawing.captions; }
    // The picture shown in a slot (null when empty or still loading).
    QImage slotPicture(int slot) const;
    bool isLoading() const;

    // Puts a picture entry of the book into a slot and saves the mount.
    bool fillSlot(int slot, qint32 entryCode);
    // The next empty slot from the selected one on; false when none is left.
    bool fillNextEmpty(qint32 entryCode);
    void clearSlot(int slot);
    void undo();

    // Commands; each asks for its file through the dialog service.
    void print();
    bool exportPicture(const QString &path);
    bool exportPdf(const QString &path);
    bool exportDicom(const QString &path);
    void editLayout();
    void startCapture();

    // The captured entries fill slots only while this is on.
    bool isFillingFromCapture() const { return m_fillFromCapture; }

    // Test seam: decode at this box instead of the slot's size on screen.
    static void setDecodeBoxForTests(QSize box);

Q_SIGNALS:
    // Every filled slot's picture has been decoded and the board repainted.
    void slotsDrawn();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct SlotEntry
    {
        QString fileName;
        QString description;
    };
    void buildActions();
    void readBook();
    void refreshCaptions();
    void loadPictures(const QList<int> &slots);
    QSize decodeBox(int slot) const;
    bool save(const Mount &previous);
    void exportCommand(const QString &kind);
    void entryAdded(qint32 bookCode, qint32 entryCode);
    void updateTitle();
    QString patientName() const;
    MountPrint printJob() const;

    QString m_fileName;
    qint32 m_bookCode = 0;
    qint32 m_mountEntry = 0;
    Mount m_mount;
    std::optional<Mount> m_undo;
    QHash<qint32, SlotEntry> m_entries; // the book's pictures by entry code
    MountDrawing m_drawing;
    QList<QSize> m_decodedFor;          // box each slot's picture was decoded for
    QList<quint64> m_slotLoads;         // the latest load of each slot; older results are dropped
    MountView *m_view = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_captureAction = nullptr;
    bool m_fillFromCapture = false;
    quint64 m_generation = 0;
    int m_pending = 0;
    QTimer m_resizeReload;
    QTimer m_partialPaint;
};

} // namespace tovradocs::Internal
