#pragma once

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "component/thumbnailprovider.h"
#include "host/referencehost.h"
#include "library/tovralib.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

#include <memory>

// A reference host over a SQLite file in a temporary folder, linked as the
// component's host through a recording link, a scripted responder for the
// dialogs, and helpers to put books and pages in the host.
class LibraryFixture
{
public:
    // The demo practice brings patients, effects and document categories.
    bool open(bool demoPractice = false)
    {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return false;
        libraryFolder = m_dir->filePath(QStringLiteral("Library"));
        QDir().mkpath(libraryFolder);
        host = tovradocs::Testing::openTestHost(m_dir->path(), demoPractice);
        if (!host)
            return false;
        // Files the host would hand to desktop programs stay where they are.
        this->host->setOpener([](const QUrl &) { return true; });
        link = std::make_shared<tovradocs::Testing::RecordingDataLink>(this->host);
        tovradocs::Internal::setHostLink(link, nullptr);
        // Thumbnails of the test pictures stay out of the user's cache.
        tovradocs::Internal::ThumbnailProvider::shared()->setThumbnailBaseDir(
            m_dir->filePath(QStringLiteral("thumbnails")));
        dialogs = std::make_unique<tovradocs::Internal::ScriptedResponder>();
        tovradocs::Internal::DialogService::setResponder(dialogs.get());
        return true;
    }

    void close()
    {
        tovradocs::Internal::DialogService::setResponder(nullptr);
        dialogs.reset();
        tovradocs::Internal::clearHostLink();
        link.reset();
        host.reset();
        m_dir.reset();
    }

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A small picture file, its folder made; "" when it cannot be saved.
    static QString savePicture(const QString &file, QColor colour = Qt::darkCyan)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        return image.save(file) ? file : QString();
    }

    // A small picture file in the library folder.
    QString picture(const QString &name, QColor colour = Qt::darkCyan) const
    {
        return savePicture(libraryFolder + u'/' + name, colour);
    }

    // Every file under the library folder, hidden temporaries included, sorted.
    QStringList libraryFiles() const
    {
        QStringList files;
        QDirIterator it(libraryFolder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
        return files;
    }

    void exec(const QString &sql) { host->ExecuteStmt(false, sql); }

    void addBook(qint32 code, const QString &name, qint32 patient)
    {
        exec(QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (%1, '%2', %3)")
                 .arg(code)
                 .arg(QString(name).replace(u'\'', QStringLiteral("''")))
                 .arg(patient));
    }

    void addPage(qint32 code, qint32 book, const QString &file, int type,
                 const QString &description, bool indexImage = false)
    {
        exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, Description, "
                            "EntryType, IndexImage) Values (%1, %2, '%3', '%4', %5, %6)")
                 .arg(code)
                 .arg(book)
                 .arg(QString(file).replace(u'\'', QStringLiteral("''")))
                 .arg(description)
                 .arg(type)
                 .arg(indexImage ? QStringLiteral("true") : QStringLiteral("false")));
    }

    // Picture pages code, code + 1, ... of a book, one per description; their files.
    QStringList addPictures(qint32 book, qint32 code, const QStringList &descriptions)
    {
        QStringList files;
        for (const QString &description : descriptions) {
            files << picture(QStringLiteral("%1.png").arg(code));
            addPage(code++, book, files.constLast(), 1, description);
        }
        return files;
    }

    qint64 scalar(const QString &sql) { return tovradocs::Testing::scalar(*host, sql); }
    // The number of BookContents rows, or of those matching a condition.
    qint64 pageCount(const QString &where = QString())
    {
        return scalar(QStringLiteral("Select Count(*) From BookContents")
                      + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where));
    }
    QVariantMap row(qint32 entryCode) { return tovradocs::Testing::contentRow(*host, entryCode); }

    // The library window shown with a book chosen; 0 leaves the first book.
    static std::unique_ptr<tovradocs::Internal::TovraLib> openLibrary(qint32 book,
                                                                      QSize size = QSize(900, 640))
    {
        auto lib = std::make_unique<tovradocs::Internal::TovraLib>();
        lib->resize(size);
        lib->show();
        QCoreApplication::processEvents();
        auto *books = tovradocs::Testing::child<QComboBox>(lib, "cboBooks");
        if (book)
            books->setCurrentIndex(books->findData(book));
        return lib;
    }

    // Drags the files over a widget and drops them; false when it refuses them.
    static bool dropFiles(QWidget *target, const QStringList &files)
    {
        QMimeData data;
        for (const QString &file : files)
            data.setUrls(data.urls() << QUrl::fromLocalFile(file));
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return true;
    }

    // The visible top-level windows of a type.
    template<typename T = QWidget>
    static QList<T *> shownWindows()
    {
        QList<T *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *t = qobject_cast<T *>(w); t && t->isVisible())
                found << t;
        return found;
    }

    // Closes the windows a test opened besides keep (viewers, menus).
    static void closeOtherWindows(const QWidget *keep)
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != keep)
                w->close();
    }

    std::shared_ptr<tovradocs::ReferenceHost> host;
    std::shared_ptr<tovradocs::Testing::RecordingDataLink> link;
    std::unique_ptr<tovradocs::Internal::ScriptedResponder> dialogs;
    QString libraryFolder;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
