#include "library/mountwindow.h"

#include "component/adjustmentstore.h"
#include "component/dialogservice.h"
#include "component/dicomexport.h"
#include "component/entrynotifier.h"
#include "component/entrypicture.h"
#include "component/hostlink.h"
#include "library/acquisitionhooks.h"
#include "library/bookpatient.h"
#include "library/entrydrag.h"
#include "library/entryopeners.h"
#include "library/librarydata.h"
#include "library/mounteditor.h"
#include "viewers/viewimg.h"
#include "component/keyhandler.h"

#include <tovradocs/datalink.h>
#include <tovradocs/hostobjects.h>

#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QScreen>
#include <QGuiApplication>
#include <QToolBar>
#include <QtConcurrent>

namespace tovradocs::Internal {

namespace {

const QString kMountWindowName = QStringLiteral("MountWindow");
constexpr int kMinDecodeSide = 160;
// The size exported pictures and DICOM files of a whole mount are drawn at.
constexpr int kExportWidth = 3000;

QSize &decodeBoxForTests()
{
    static QSize box;
    return box;
}

} // namespace

// ---------------------------------------------------------------- view

MountView::MountView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picMount"));
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    setToolTip(QStringLiteral("Drag pages from the library into the slots. Arrow keys choose a slot, "
                              "Delete empties it, Enter views its picture."));
}

void MountView::setDrawing(const MountDrawing &drawing)
{
    // The chosen slot is the view's own; a new drawing of the same mount keeps it.
    const int selected = m_drawing.selected;
    m_drawing = drawing;
    m_drawing.selected = drawing.mount && selected < drawing.mount->slots.size() ? selected : -1;
    update();
}

void MountView::select(int slot)
{
    if (!m_drawing.mount || slot < -1 || slot >= m_drawing.mount->slots.size() || slot == m_drawing.selected)
        return;
    m_drawing.selected = slot;
    update();
    Q_EMIT selectionChanged(slot);
}

QList<QRectF> MountView::slotRectangles() const
{
    if (!m_drawing.mount)
        return {};
    // The same arithmetic drawMount uses, so hits match what is drawn.
    const QRectF area = rect();
    const qreal unit = std::min(area.width() / m_drawing.mount->grid.width(),
                                area.height() / m_drawing.mount->grid.height());
    return slotRects(*m_drawing.mount, area.adjusted(unit * 0.3, unit * 0.3, -unit * 0.3, -unit * 0.3),
                     unit * 0.25);
}

int MountView::slotAt(const QPoint &pos) const
{
    const QList<QRectF> rects = slotRectangles();
    for (int i = 0; i < rects.size(); ++i)
        if (rects.at(i).contains(pos))
            return i;
    return -1;
}

void MountView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_drawing.mount) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    MountDrawing drawing = m_drawing;
    if (m_dropSlot >= 0)
        drawing.selected = m_dropSlot;
    drawMount(painter, rect(), drawing);
}

void MountView::mousePressEvent(QMouseEvent *event)
{
    select(slotAt(event->position().toPoint()));
    setFocus();
}

void MountView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int slot = slotAt(event->position().toPoint());
    if (slot >= 0)
        Q_EMIT slotActivated(slot);
}

void MountView::keyPressEvent(QKeyEvent *event)
{
    const int count = m_drawing.mount ? int(m_drawing.mount->slots.size()) : 0;
    const int current = m_drawing.selected;
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
        select(count ? (current + 1) % count : -1);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        select(count ? (current <= 0 ? count - 1 : current - 1) : -1);
        break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (current >= 0)
            Q_EMIT clearRequested(current);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current >= 0)
            Q_EMIT slotActivated(current);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void MountView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(kEntryMimeType))
        event->acceptProposedAction();
}

void MountView::dragMoveEvent(QDragMoveEvent *event)
{
    const int slot = slotAt(event->position().toPoint());
    if (slot != m_dropSlot) {
        m_dropSlot = slot;
        update();
    }
    if (slot >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void MountView::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropSlot = -1;
    update();
}

void MountView::dropEvent(QDropEvent *event)
{
    m_dropSlot = -1;
    update();
    const int slot = slotAt(event->position().toPoint());
    const QList<qint32> codes = entryCodesFromMimeData(event->mimeData());
    if (slot < 0 || codes.isEmpty())
        return;
    event->acceptProposedAction();
    Q_EMIT entriesDropped(slot, codes);
}

// ---------------------------------------------------------------- window

MountWindow::MountWindow(QWidget *owner) : QMainWindow(owner, Qt::Window)
{
    setObjectName(kMountWindowName);
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new MountView(this);
    setCentralWidget(m_view);
    buildActions();
    // Slots are decoded on workers, which see adjustments as read here.
    AdjustmentStore::instance()->preload();
    resize(1100, 720);
    KeyHandler::install(this);

    connect(m_view, &MountView::entriesDropped, this, [this](int slot, const QList<qint32> &codes) {
        // Several pages fill the slot they were dropped on and the empty ones after it.
        int next = slot;
        for (qint32 code : codes) {
            if (next < 0 || !fillSlot(next, code))
                break;
            next = m_mount.nextEmptySlot(next + 1);
        }
    });
    connect(m_view, &MountView::clearRequested, this, [this](int slot) { clearSlot(slot); });
    connect(m_view, &MountView::slotActivated, this, [this](int slot) {
        const qint32 code = m_mount.slots.at(slot).entryCode;
        if (m_entries.contains(code))
            (new ViewImg(this))->ViewSingleImage(m_entries.value(code).fileName, m_entries.value(code).description);
    });
    connect(EntryNotifier::instance(), &EntryNotifier::entryAdded, this,
            [this](qint32 book, qint32 entry, qint32 type) {
                if (type == 1)
                    entryAdded(book, entry);
            });
    m_partialPaint.setSingleShot(true);
    m_partialPaint.setInterval(120);
    connect(&m_partialPaint, &QTimer::timeout, this, [this] { m_view->setDrawing(m_drawing); });
    m_resizeReload.setSingleShot(true);
    m_resizeReload.setInterval(250);
    connect(&m_resizeReload, &QTimer::timeout, this, [this] {
        // Pictures decoded for a smaller board are decoded again at the new size.
        QList<int> stale;
        for (int i = 0; i < m_mount.slots.size(); ++i) {
            const QSize box = decodeBox(i);
            if (i < m_decodedFor.size() && !m_drawing.pictures.value(i).isNull()
                && (box.width() > m_decodedFor.at(i).width() * 5 / 4
                    || box.height() > m_decodedFor.at(i).height() * 5 / 4))
                stale << i;
        }
        if (!stale.isEmpty())
            loadPictures(stale);
    });
}

MountWindow::~MountWindow() = default;

void MountWindow::setDecodeBoxForTests(QSize box)
{
    decodeBoxForTests() = box;
}

void MountWindow::buildActions()
{
    QToolBar *bar = addToolBar(QStringLiteral("Mount"));
    bar->setObjectName(QStringLiteral("tbrMount"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [this, bar](const char *name, const QString &caption, const QString &tip,
                           const QKeySequence &key, auto &&handler) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setToolTip(tip);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, handler);
        bar->addAction(action);
        return action;
    };
    add("cmdPrint", QStringLiteral("&Print"), QStringLiteral("Print the mount on one page"),
        QKeySequence::Print, [this] { print(); });
    add("cmdExportPicture", QStringLiteral("Export P&icture"), QStringLiteral("Save the mount as one picture"),
        QKeySequence(), [this] { exportCommand(QStringLiteral("picture")); });
    add("cmdExportPdf", QStringLiteral("Export P&DF"), QStringLiteral("Save the mount as one PDF page"),
        QKeySequence(), [this] { exportCommand(QStringLiteral("pdf")); });
    add("cmdExportDicom", QStringLiteral("Export as DICOM"),
        QStringLiteral("Save the mount as a DICOM picture with the patient's details"), QKeySequence(),
        [this] { exportCommand(QStringLiteral("dicom")); });
    bar->addSeparator();
    m_captureAction = add("cmdCapture", QStringLiteral("&Capture"),
                          QStringLiteral("Capture into the next empty slot (the foot switch too)"),
                          QKeySequence(), [this] { startCapture(); });
    add("cmdClearSlot", QStringLiteral("&Empty Slot"), QStringLiteral("Take the picture out of the chosen slot"),
        QKeySequence(), [this] { clearSlot(m_view->selected()); });
    m_undoAction = add("cmdUndo", QStringLiteral("&Undo"), QStringLiteral("Take back the last change"),
                       QKeySequence::Undo, [this] { undo(); });
    m_undoAction->setEnabled(false);
    add("cmdEditLayout", QStringLiteral("Edit &Layout..."), QStringLiteral("Change the slots and their teeth"),
        QKeySequence(), [this] { editLayout(); });
    bar->addSeparator();
    add("cmdClose", QStringLiteral("Close"), QString(), QKeySequence::Close, [this] { close(); });
}

bool MountWindow::openMount(qint32 bookCode, qint32 mountEntryCode, const QString &fileName, bool shown)
{
    const Result<Mount> mount = readMount(localLibraryPath(fileName));
    if (!mount) {
        DialogService::message(parentWidget(), mount.error(), QString(), Buttons::Ok, Severity::Warning);
        return false;
    }
    m_fileName = localLibraryPath(fileName);
    m_bookCode = bookCode;
    m_mountEntry = mountEntryCode;
    m_mount = *mount;
    m_undo.reset();
    m_undoAction->setEnabled(false);
    readBook();
    m_drawing = MountDrawing();
    m_drawing.mount = &m_mount;
    m_drawing.pictures = QList<QImage>(m_mount.slots.size());
    m_decodedFor = QList<QSize>(m_mount.slots.size());
    m_slotLoads = QList<quint64>(m_mount.slots.size());
    refreshCaptions();
    updateTitle();
    m_view->select(std::max(0, m_mount.nextEmptySlot()));
    if (!shown)
        return true;
    // Never larger than the screen it opens on.
    if (const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        resize(size().boundedTo(screen->availableGeometry().size() * 9 / 10));
    show();
    raise();
    activateWindow();
    QList<int> all;
    for (int i = 0; i < m_mount.slots.size(); ++i)
        all << i;
    loadPictures(all);
    return true;
}

void MountWindow::readBook()
{
    m_entries.clear();
    DataLink *link = dataLink();
    if (!link)
        return;
    trapErrors(kMountWindowName, [&] {
        const PageTable pages = LibraryData(*link).loadPages(m_bookCode, true);
        for (const PageTable::Page &page : pages.pages) {
            if (page.at(PageTable::EntryTypeRow - 1).trimmed().toInt() != 1)
                continue;
            m_entries.insert(page.at(PageTable::EntryCodeRow - 1).toInt(),
                             {localLibraryPath(page.at(PageTable::FileNameRow - 1)),
                              page.at(PageTable::DescriptionRow - 1)});
        }
    });
    // A deleted entry leaves its slot empty; the file keeps the layout.
    for (MountSlot &slot : m_mount.slots)
        if (slot.entryCode && !m_entries.contains(slot.entryCode))
            slot.entryCode = 0;
}

void MountWindow::refreshCaptions()
{
    auto &make = hostObjectFactories().toothNotation;
    std::unique_ptr<ToothNotation> notation = make ? make() : nullptr;
    m_drawing.captions.clear();
    for (const MountSlot &slot : std::as_const(m_mount.slots))
        m_drawing.captions << slotCaption(slot, notation.get());
    m_view->setDrawing(m_drawing);
}

void MountWindow::updateTitle()
{
    const QString patient = patientName();
    setWindowTitle(patient.isEmpty() ? m_mount.name : m_mount.name + QStringLiteral(" - ") + patient);
}

QString MountWindow::patientName() const
{
    DataLink *link = dataLink();
    Dicom::Patient patient;
    if (link)
        trapErrors(kMountWindowName, [&] { patient = bookPatient(*link, m_bookCode); });
    return QString(patient.givenName + u' ' + patient.familyName).trimmed();
}

QSize MountWindow::decodeBox(int slot) const
{
    if (decodeBoxForTests().isValid())
        return decodeBoxForTests();
    const QList<QRectF> rects = m_view->slotRectangles();
    const QSizeF size = slot < rects.size() ? rects.at(slot).size() : QSizeF();
    const qreal ratio = devicePixelRatioF();
    return QSize(std::max(kMinDecodeSide, int(size.width() * ratio)),
                 std::max(kMinDecodeSide, int(size.height() * ratio)));
}

void MountWindow::loadPictures(const QList<int> &slots)
{
    struct Job
    {
        int slot;
        qint32 code;
        QString file;
        QSize box;
    };
    QList<Job> jobs;
    for (int slot : slots) {
        const qint32 code = m_mount.slots.at(slot).entryCode;
        if (!code) {
            m_drawing.pictures[slot] = QImage();
            continue;
        }
        jobs.append({slot, code, m_entries.value(code).fileName, decodeBox(slot)});
    }
    m_view->setDrawing(m_drawing);
    if (m_slotLoads.size() != m_mount.slots.size())
        m_slotLoads = QList<quint64>(m_mount.slots.size());
    m_pending += int(jobs.size());
    if (m_pending == 0) {
        QTimer::singleShot(0, this, [this] { Q_EMIT slotsDrawn(); });
        return;
    }
    // Every picture decodes on the pool; each one is drawn as soon as it is there.
    for (const Job &job : std::as_const(jobs)) {
        const quint64 load = m_slotLoads[job.slot] = ++m_generation;
        auto *watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, job, load] {
            watcher->deleteLater();
            const QImage picture = watcher->result();
            if (job.slot < m_slotLoads.size() && m_slotLoads.at(job.slot) == load) {
                m_drawing.pictures[job.slot] = picture;
                m_decodedFor[job.slot] = job.box;
            }
            if (--m_pending == 0) {
                m_partialPaint.stop();
                m_view->setDrawing(m_drawing);
                m_view->repaint();
                Q_EMIT slotsDrawn();
            } else if (!m_partialPaint.isActive()) {
                // Pictures still coming show a few times a second, not once each:
                // a paint of the whole board costs as much as decoding several.
                m_partialPaint.start();
            }
        });
        watcher->setFuture(QtConcurrent::run([job] {
            const Result<QImage> picture = entryPicture(job.code, job.file, job.box);
            if (!picture)
                qCWarning(lcComponent) << "mount slot" << job.slot + 1 << picture.error();
            return picture ? *picture : QImage();
        }));
    }
}

bool MountWindow::isLoading() const
{
    return m_pending > 0;
}

QImage MountWindow::slotPicture(int slot) const
{
    return m_drawing.pictures.value(slot);
}

bool MountWindow::save(const Mount &previous)
{
    Mount stored = m_mount;
    const Outcome saved = writeMount(m_fileName, stored);
    if (!saved) {
        m_mount = previous;
        DialogService::message(this, saved.error(), QString(), Buttons::Ok, Severity::Warning);
        return false;
    }
    m_undo = previous;
    m_undoAction->setEnabled(true);
    return true;
}

bool MountWindow::fillSlot(int slot, qint32 entryCode)
{
    if (slot < 0 || slot >= m_mount.slots.size())
        return false;
    if (!m_entries.contains(entryCode))
        readBook(); // a page added since the mount was opened
    if (!m_entries.contains(entryCode)) {
        DialogService::message(this, QStringLiteral("Only pictures of this book can go into its mount."),
                               QString(), Buttons::Ok, Severity::Information);
        return false;
    }
    const Mount previous = m_mount;
    m_mount.slots[slot].entryCode = entryCode;
    if (!save(previous))
        return false;
    m_view->select(slot);
    loadPictures({slot});
    return true;
}

bool MountWindow::fillNextEmpty(qint32 entryCode)
{
    int slot = m_mount.nextEmptySlot(std::max(0, m_view->selected()));
    if (slot < 0)
        slot = m_mount.nextEmptySlot();
    if (slot < 0) {
        DialogService::message(this, QStringLiteral("Every slot of this mount holds a picture."), QString(),
                               Buttons::Ok, Severity::Information);
        return false;
    }
    return fillSlot(slot, entryCode);
}

void MountWindow::clearSlot(int slot)
{
    if (slot < 0 || slot >= m_mount.slots.size() || !m_mount.slots.at(slot).entryCode)
        return;
    const Mount previous = m_mount;
    m_mount.slots[slot].entryCode = 0;
    if (save(previous))
        loadPictures({slot});
}

void MountWindow::undo()
{
    if (!m_undo)
        return;
    const Mount previous = m_mount;
    m_mount = *m_undo;
    if (!save(previous))
        return;
    // Undo again redoes, which is what one level of undo can offer.
    m_drawing.pictures = QList<QImage>(m_mount.slots.size());
    m_decodedFor = QList<QSize>(m_mount.slots.size());
    m_drawing.mount = &m_mount;
    refreshCaptions();
    QList<int> all;
    for (int i = 0; i < m_mount.slots.size(); ++i)
        all << i;
    loadPictures(all);
}

void MountWindow::entryAdded(qint32 bookCode, qint32 entryCode)
{
    if (!m_fillFromCapture || bookCode != m_bookCode)
        return;
    readBook();
    fillNextEmpty(entryCode);
}

void MountWindow::startCapture()
{
    const AcquisitionHooks::BookCommand &capture = acquisitionHooks().capture;
    if (!capture) {
        notifyNotAvailable(QStringLiteral("Capture"));
        return;
    }
    m_fillFromCapture = true;
    QString bookName;
    if (DataLink *link = dataLink())
        trapErrors(kMountWindowName, [&] {
            std::unique_ptr<Recordset> rs;
            link->FillRecordSet(rs, QStringLiteral("Select Description From Books Where Entry_Code = %1")
                                        .arg(m_bookCode));
            if (rs && rs->isOpen() && !rs->isEof())
                bookName = rs->value(QStringLiteral("Description")).toString();
        });
    trapErrors(kMountWindowName, [&] { capture(this, m_bookCode, bookName); });
}

MountPrint MountWindow::printJob() const
{
    MountPrint job;
    job.mount = m_mount;
    job.captions = m_drawing.captions;
    job.title = m_mount.name;
    DataLink *link = dataLink();
    QDate date;
    if (link)
        trapErrors(kMountWindowName, [&] { date = entryDate(*link, m_mountEntry); });
    const QString patient = patientName();
    job.subtitle = QStringList{patient, QLocale().toString(date.isValid() ? date : QDate::currentDate(),
                                                          QLocale::ShortFormat)}
                       .join(QStringLiteral("    "))
                       .trimmed();
    const QHash<qint32, SlotEntry> entries = m_entries;
    const Mount mount = m_mount;
    job.picture = [entries, mount](int slot, QSize box) {
        const qint32 code = mount.slots.at(slot).entryCode;
        if (!code || !entries.contains(code))
            return QImage();
        const Result<QImage> picture = entryPicture(code, entries.value(code).fileName, box);
        return picture ? *picture : QImage();
    };
    return job;
}

void MountWindow::print()
{
    trapErrors(kMountWindowName, [&] { previewMount(printJob(), this); });
    // The printer's file question belongs to the host's window; come back on top.
    raise();
    activateWindow();
}

namespace {

// The mount with every picture decoded for the export's size.
MountDrawing exportDrawing(const MountPrint &job, const Mount &mount, int width)
{
    MountDrawing drawing;
    drawing.mount = &mount;
    drawing.captions = job.captions;
    drawing.numberEmptySlots = false;
    const qreal unit = qreal(width) / mount.grid.width();
    for (int i = 0; i < mount.slots.size(); ++i) {
        const QRect cell = mount.slots.at(i).cell;
        drawing.pictures << job.picture(i, QSize(int(cell.width() * unit), int(cell.height() * unit)));
    }
    return drawing;
}

} // namespace

bool MountWindow::exportPicture(const QString &path)
{
    const MountPrint job = printJob();
    const QImage picture = renderMount(exportDrawing(job, m_mount, kExportWidth), kExportWidth);
    if (!picture.save(path)) {
        DialogService::message(this, QStringLiteral("The picture could not be saved as %1.")
                                         .arg(QDir::toNativeSeparators(path)),
                               QString(), Buttons::Ok, Severity::Warning);
        return false;
    }
    return true;
}

bool MountWindow::exportPdf(const QString &path)
{
    const MountPrint job = printJob();
    QPdfWriter writer(path);
    writer.setTitle(job.title);
    writer.setCreator(QStringLiteral("TovraDocs"));
    writer.setResolution(300);
    const bool wide = m_mount.grid.width() >= m_mount.grid.height();
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), wide ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        DialogService::message(this, QStringLiteral("The PDF could not be saved as %1.")
                                         .arg(QDir::toNativeSeparators(path)),
                               QString(), Buttons::Ok, Severity::Warning);
        return false;
    }
    const QRect page = writer.pageLayout().paintRectPixels(writer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(int(writer.resolution() * 0.2));
    font.setBold(true);
    painter.setFont(font);
    const qreal line = QFontMetricsF(font, &writer).height();
    painter.drawText(QRectF(0, 0, area.width(), line), Qt::AlignCenter, job.title);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRectF(0, line, area.width(), line), Qt::AlignCenter, job.subtitle);
    const QRectF board = area.adjusted(0, line * 2.3, 0, 0);
    const int width = int(board.width());
    MountDrawing drawing = exportDrawing(job, m_mount, width);
    // The board keeps the layout's proportions within the page.
    const qreal unit = std::min(board.width() / m_mount.grid.width(), board.height() / m_mount.grid.height());
    const QSizeF size(unit * m_mount.grid.width(), unit * m_mount.grid.height());
    drawMount(painter, QRectF(board.center().x() - size.width() / 2, board.top(), size.width(), size.height()),
              drawing);
    return painter.end();
}

bool MountWindow::exportDicom(const QString &path)
{
    DataLink *link = dataLink();
    if (!link)
        return false;
    Dicom::ExportRequest request;
    const bool ran = trapErrors(kMountWindowName, [&] {
        request.patient = bookPatient(*link, m_bookCode);
        request.studyDate = entryDate(*link, m_mountEntry);
    });
    if (!ran)
        return false;
    const MountPrint job = printJob();
    MountDrawing drawing = exportDrawing(job, m_mount, kExportWidth);
    request.picture = renderMount(drawing, kExportWidth);
    request.description = m_mount.name;
    const Outcome written = Dicom::writePicture(path, request);
    if (!written)
        DialogService::message(this, written.error(), QString(), Buttons::Ok, Severity::Warning);
    return written.ok();
}

void MountWindow::exportCommand(const QString &kind)
{
    QString filter;
    QString suffix;
    if (kind == QLatin1String("picture")) {
        filter = QStringLiteral("PNG picture (*.png);;JPEG picture (*.jpg)");
        suffix = QStringLiteral(".png");
    } else if (kind == QLatin1String("pdf")) {
        filter = QStringLiteral("PDF document (*.pdf)");
        suffix = QStringLiteral(".pdf");
    } else {
        filter = QStringLiteral("DICOM file (*.dcm)");
        suffix = QStringLiteral(".dcm");
    }
    const QString initial = QDir::home().filePath(m_mount.name + suffix);
    QString path = DialogService::saveFile(this, QStringLiteral("Export Mount"), filter, initial);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += suffix;
    if (kind == QLatin1String("picture"))
        exportPicture(path);
    else if (kind == QLatin1String("pdf"))
        exportPdf(path);
    else
        exportDicom(path);
}

void MountWindow::editLayout()
{
    MountEditor editor(m_mount, this);
    if (DialogService::showModal(&editor) != QDialog::Accepted)
        return;
    const Mount previous = m_mount;
    m_mount = editor.mount();
    if (!save(previous))
        return;
    m_drawing.mount = &m_mount;
    m_drawing.pictures = QList<QImage>(m_mount.slots.size());
    m_decodedFor = QList<QSize>(m_mount.slots.size());
    m_drawing.selected = -1;
    refreshCaptions();
    updateTitle();
    QList<int> all;
    for (int i = 0; i < m_mount.slots.size(); ++i)
        all << i;
    loadPictures(all);
}

void MountWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_resizeReload.start();
}

void MountWindow::closeEvent(QCloseEvent *event)
{
    m_fillFromCapture = false;
    QMainWindow::closeEvent(event);
}

} // namespace tovradocs::Internal
