#include "library/serialgrabber.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "controls/doclist.h"
#include "controls/imgview.h"
#include "controls/tovrasearch.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/librarycopier.h"
#include "library/tovralib.h"

#include <tovradocs/dokumentz.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tovradocs::Internal {

namespace serialgrabber {

const QString windowName = QStringLiteral("SerialGrabber");

// Grabbed pictures are written as "<temporary stem>.bmp"; the empty stem file
// that reserved the name goes with the picture.
void deleteTemporary(const QString &path)
{
    QFile::remove(path);
    const QString stem = QFileInfo(path).path() + u'/' + QFileInfo(path).completeBaseName();
    if (stem != path && QFileInfo(stem).fileName().startsWith(QLatin1String("Tow")))
        QFile::remove(stem);
}

// Reads the clipboard's picture from its encoded bytes, so an oversized one is
// refused from its header before anything is decoded.
QImage readPicture(const QMimeData *data, QString &problem)
{
    for (const QString &format : data->formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        QByteArray bytes = data->data(format);
        if (bytes.isEmpty())
            continue;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setDecideFormatFromContent(true);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > SerialGrabber::maxPicturePixels) {
            problem = QStringLiteral("The picture on the clipboard is too large to take (%1 x %2 pixels).")
                          .arg(size.width())
                          .arg(size.height());
            return QImage();
        }
        QImage image;
        if (reader.read(&image) && !image.isNull())
            return image;
    }
    // Pictures copied inside this program never leave memory.
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (!image.isNull() && qint64(image.width()) * image.height() <= SerialGrabber::maxPicturePixels)
        return image;
    if (!image.isNull())
        problem = QStringLiteral("The picture on the clipboard is too large to take (%1 x %2 pixels).")
                      .arg(image.width())
                      .arg(image.height());
    else if (problem.isEmpty())
        problem = QStringLiteral("The picture on the clipboard cannot be read.");
    return QImage();
}

} // namespace serialgrabber

SerialGrabber::SerialGrabber(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("SerialGrabber"));
    setWindowTitle(QStringLiteral("Serial Image Grabber"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &SerialGrabber::grabClipboard);
}

SerialGrabber::~SerialGrabber() = default;

void SerialGrabber::buildControls()
{
    m_docImgs = new DocList(this);
    m_docImgs->setObjectName(QStringLiteral("docImgs"));
    connect(m_docImgs, &DocList::urlsDropped, this, &SerialGrabber::addDroppedUrls);

    m_picHidden = new QLabel(this);
    m_picHidden->setObjectName(QStringLiteral("picHidden"));
    m_picHidden->hide();
    m_ImxSnap = new ImgView(this);
    m_ImxSnap->setObjectName(QStringLiteral("ImxSnap"));
    m_ImxSnap->setMinimumSize(200, 150);

    static const char *const sources[] = {"Clipboard Copy", "Explorer Copy", "Imaging Device"};
    auto *sourceBox = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_chkGrabSrc[i] = new QCheckBox(QString::fromLatin1(sources[i]), this);
        m_chkGrabSrc[i]->setObjectName(QStringLiteral("chkGrabSrc_%1").arg(i));
        sourceBox->addWidget(m_chkGrabSrc[i]);
    }
    m_chkGrabSrc[0]->setChecked(true);
    m_chkGrabSrc[1]->setChecked(true);
    m_chkGrabSrc[2]->setEnabled(false);
    m_chkGrabSrc[2]->setToolTip(
        QStringLiteral("Pictures from scanners and cameras arrive here once this build has "
                       "an acquisition service; it has none yet."));
    m_chkAllowDuplicates = new QCheckBox(QStringLiteral("Allow duplicate files"), this);
    m_chkAllowDuplicates->setObjectName(QStringLiteral("chkAllowDuplicates"));
    sourceBox->addWidget(m_chkAllowDuplicates);
    sourceBox->addStretch(1);
    connect(m_chkGrabSrc[1], &QCheckBox::toggled, m_chkAllowDuplicates, &QWidget::setEnabled);

    m_SrchBook = new TovraSearch(this);
    m_SrchBook->setObjectName(QStringLiteral("SrchBook"));
    m_SrchBook->setCaption(QStringLiteral("Patient / Book"));
    connect(m_SrchBook, &TovraSearch::searchRequested, this, &SerialGrabber::searchBook);

    auto makeButton = [this](const char *name, const QString &text, void (SerialGrabber::*slot)()) {
        auto *button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        return button;
    };
    m_cmdClear = makeButton("cmdClear", QStringLiteral("Clear"), &SerialGrabber::clearList);
    m_cmdRemoveSelected = makeButton("cmdRemoveSelected", QStringLiteral("Remove Selected"),
                                     &SerialGrabber::removeSelected);
    m_Command1 = makeButton("Command1", QStringLiteral("Copy Selected To"),
                            &SerialGrabber::copySelectedTo);
    m_cbOK = makeButton("cbOK", QStringLiteral("&Save"), &SerialGrabber::save);
    m_cbClose = new QPushButton(QStringLiteral("C&lose"), this);
    m_cbClose->setObjectName(QStringLiteral("cbClose"));
    m_cbClose->setAutoDefault(false);
    connect(m_cbClose, &QPushButton::clicked, this, &QWidget::close);

    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);

    auto *side = new QVBoxLayout;
    side->addLayout(sourceBox);
    side->addWidget(m_ImxSnap, 1);

    auto *middle = new QHBoxLayout;
    middle->addWidget(m_docImgs, 3);
    middle->addLayout(side, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdClear);
    buttons->addWidget(m_cmdRemoveSelected);
    buttons->addWidget(m_Command1);
    buttons->addStretch(1);
    buttons->addWidget(m_cbOK);
    buttons->addWidget(m_cbClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_SrchBook);
    layout->addLayout(middle, 1);
    layout->addWidget(m_lblStatus);
    layout->addLayout(buttons);
    resize(820, 560);
}

void SerialGrabber::GrabFor(qint32 BookCode, const QString &BookName)
{
    m_SrchBook->setBook(BookCode, BookName);
    if (QWidget *owner = parentWindow(); owner && !parentWidget())
        setParent(owner, windowFlags() | Qt::Window);
    const bool first = !isVisible();
    show();
    raise();
    activateWindow();
    if (first)
        grabClipboard();
}

SerialGrabber *SerialGrabber::openFor(qint32 bookCode, const QString &bookName)
{
    // One grabber at a time: two would take every copy twice.
    SerialGrabber *grabber = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *open = qobject_cast<SerialGrabber *>(window); open && !open->isHidden())
            grabber = open;
    if (!grabber)
        grabber = new SerialGrabber;
    grabber->GrabFor(bookCode, bookName);
    return grabber;
}

void SerialGrabber::showStatus(const QString &text) { m_lblStatus->setText(text); }

void SerialGrabber::grabClipboard()
{
    grabFrom(QGuiApplication::clipboard()->mimeData());
}

int SerialGrabber::grabFrom(const QMimeData *data)
{
    if (!data)
        return 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int added = 0;
    QString problem;
    const QStringList formats = data->formats();
    const bool picture = data->hasImage()
                         || std::any_of(formats.begin(), formats.end(), [](const QString &format) {
                                return format.startsWith(QLatin1String("image/"));
                            });
    if (m_chkGrabSrc[0]->isChecked() && picture && takePicture(data, problem))
        ++added;
    int skipped = 0;
    ClipboardFiles files;
    if (m_chkGrabSrc[1]->isChecked()) {
        files = filesFromMimeData(data);
        added += takeFiles(files.paths, skipped);
    }
    m_docImgs->refresh();
    QApplication::restoreOverrideCursor();

    QStringList notes;
    if (!problem.isEmpty())
        notes << problem;
    if (skipped > 0)
        notes << QStringLiteral("%1 copied file%2 not taken (not a picture, missing or already listed).")
                     .arg(skipped)
                     .arg(skipped == 1 ? QStringLiteral(" was") : QStringLiteral("s were"));
    if (!files.refused.isEmpty())
        notes << QStringLiteral("%1 copied name%2 no file on this computer.")
                     .arg(files.refused.size())
                     .arg(files.refused.size() == 1 ? QStringLiteral(" names") : QStringLiteral("s name"));
    if (added > 0)
        notes.prepend(QStringLiteral("%1 item%2 grabbed.").arg(added).arg(added == 1 ? "" : "s"));
    if (!notes.isEmpty())
        showStatus(notes.join(u' '));
    return added;
}

bool SerialGrabber::takePicture(const QMimeData *data, QString &problem)
{
    const QImage image = serialgrabber::readPicture(data, problem);
    if (image.isNull())
        return false;
    const QString path = tempFileName(QStringLiteral("bmp"));
    if (path.isEmpty() || !image.save(path, "BMP")) {
        problem = QStringLiteral("The picture could not be saved in the temporary folder \"%1\".")
                      .arg(QDir::toNativeSeparators(tempFolder()));
        if (!path.isEmpty())
            serialgrabber::deleteTemporary(path);
        return false;
    }
    m_picHidden->setProperty("fileName", path);
    m_ImxSnap->setFileName(path);
    m_docImgs->addItem(path, true, image);
    return true;
}

int SerialGrabber::takeFiles(const QStringList &paths, int &skipped)
{
    int added = 0;
    for (const QString &path : paths) {
        if (!QFileInfo(path).isFile() || classifyFile(path) != 1
            || (!m_chkAllowDuplicates->isChecked() && m_docImgs->findPath(path) > 0)) {
            ++skipped;
            continue;
        }
        m_docImgs->addItem(path, false);
        ++added;
    }
    return added;
}

int SerialGrabber::addDroppedUrls(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        const QString path = localPathFromUrl(url.toEncoded());
        if (!path.isEmpty())
            paths << path;
    }
    int skipped = 0;
    const int added = takeFiles(paths, skipped);
    m_docImgs->refresh();
    return added;
}

void SerialGrabber::searchBook()
{
    DataLink *link = dataLink();
    if (!link)
        return;
    trapErrors(serialgrabber::windowName, [&] {
        QString name;
        const qint32 code = link->GetLibraryEntry(name);
        if (code > 0)
            m_SrchBook->setBook(code, name);
    });
}

void SerialGrabber::save()
{
    QStringList files;
    for (int i = 1; i <= m_docImgs->itemCount(); ++i)
        if (m_docImgs->isItemSelected(i))
            files << callerPath(i);
    if (files.isEmpty()) {
        DialogService::message(this, QStringLiteral("No Document selected !"));
        return;
    }
    if (m_SrchBook->bookCode() <= 0) {
        DialogService::message(this, QStringLiteral("Choose the Patient / Book to save into first."));
        return;
    }
    Dokumentz documents;
    documents.DefDocumentType = 1;
    documents.DefFileType = 0;
    documents.DefSourceID = m_SrchBook->bookCode();
    QStringList imported;
    {
        AddMultipleDocs importer(this);
        importer.AddMultipleFiles(files, documents);
        imported = importer.importedFiles();
    }
    // Only what reached the book leaves the list; the rest can be saved again.
    for (int i = m_docImgs->itemCount(); i >= 1; --i) {
        if (imported.contains(callerPath(i)))
            removeItemAt(i);
    }
    if (!imported.isEmpty() && TovraLib::isOpen()) {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *library = qobject_cast<TovraLib *>(window))
                library->RefreshDocuments();
    }
}

void SerialGrabber::removeItemAt(int position)
{
    // A picture that was imported was moved into the library; only its stem is left.
    if (m_docImgs->isItemTemporary(position))
        serialgrabber::deleteTemporary(m_docImgs->itemPath(position));
    m_docImgs->removeItem(position);
}

void SerialGrabber::clearList()
{
    for (int i = m_docImgs->itemCount(); i >= 1; --i)
        removeItemAt(i);
    m_ImxSnap->setFileName(QString());
    showStatus(QString());
}

void SerialGrabber::removeSelected()
{
    for (int i = m_docImgs->itemCount(); i >= 1; --i)
        if (m_docImgs->isItemSelected(i))
            removeItemAt(i);
}

void SerialGrabber::copySelectedTo()
{
    QStringList sources;
    for (int i = 1; i <= m_docImgs->itemCount(); ++i)
        if (m_docImgs->isItemSelected(i))
            sources << m_docImgs->itemPath(i);
    if (sources.isEmpty()) {
        DialogService::message(this, QStringLiteral("No Document selected !"));
        return;
    }
    DataLink *link = dataLink();
    const QString folder = DialogService::folder(this, QStringLiteral("Copy Selected To"));
    if (folder.isEmpty() || !link)
        return;
    LibraryCopier copier(*link);
    QStringList problems;
    int copied = 0;
    for (const QString &source : std::as_const(sources)) {
        const QFileInfo info(source);
        QString target = QDir(folder).filePath(info.fileName());
        // Files already there are kept; the copy takes a free name beside them.
        for (int n = 2; QFileInfo::exists(target); ++n)
            target = QDir(folder).filePath(QStringLiteral("%1 (%2).%3")
                                               .arg(info.completeBaseName())
                                               .arg(n)
                                               .arg(info.suffix()));
        const Outcome outcome = copier.copyTo(source, target);
        if (outcome)
            ++copied;
        else
            problems << outcome.error();
    }
    const Outcome synced = copier.finish();
    if (!synced)
        problems << synced.error();
    QString text = QStringLiteral("%1 file%2 copied to \"%3\".")
                       .arg(copied)
                       .arg(copied == 1 ? "" : "s")
                       .arg(QDir::toNativeSeparators(folder));
    if (!problems.isEmpty())
        text += u'\n' + problems.join(u'\n');
    DialogService::message(this, text);
}

QString SerialGrabber::callerPath(int position) const
{
    // The batch import knows temporary files by a leading "?".
    const QString path = m_docImgs->itemPath(position);
    return m_docImgs->isItemTemporary(position) ? QStringLiteral("?") + path : path;
}

bool SerialGrabber::hasTemporaries() const
{
    for (int i = 1; i <= m_docImgs->itemCount(); ++i)
        if (m_docImgs->isItemTemporary(i))
            return true;
    return false;
}

void SerialGrabber::closeEvent(QCloseEvent *event)
{
    if (hasTemporaries()
        && DialogService::message(this,
                                  QStringLiteral("The grabbed pictures have not been saved."
                                                 "\nDo you want to discard them ?"),
                                  windowTitle(), Buttons::YesNo, Severity::Question)
               != Answer::Yes) {
        event->ignore();
        return;
    }
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    clearList();
    event->accept();
}

} // namespace tovradocs::Internal
