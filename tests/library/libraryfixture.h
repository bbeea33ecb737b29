#pragma once

#include "component/hostlink.h"
#include "component/thumbnailprovider.h"
#include "host/referencehost.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

#include <memory>

// A reference host over a SQLite file in a temporary folder, linked as the
// component's host through a recording link, with helpers to put books and
// pages in it.
class LibraryFixture
{
public:
    bool open()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return false;
        libraryFolder = m_dir->filePath(QStringLiteral("Library"));
        QDir().mkpath(libraryFolder);
        host = tovradocs::Testing::openTestHost(m_dir->path());
        if (!host)
            return false;
        // Files the host would hand to desktop programs stay where they are.
        this->host->setOpener([](const QUrl &) { return true; });
        link = std::make_shared<tovradocs::Testing::RecordingDataLink>(this->host);
        tovradocs::Internal::setHostLink(link, nullptr);
        // Thumbnails of the test pictures stay out of the user's cache.
        tovradocs::Internal::ThumbnailProvider::shared()->setThumbnailBaseDir(
            m_dir->filePath(QStringLiteral("thumbnails")));
        return true;
    }

    void close()
    {
        tovradocs::Internal::clearHostLink();
        link.reset();
        host.reset();
        m_dir.reset();
    }

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A small picture file in the library folder.
    QString picture(const QString &name, QColor colour = Qt::darkCyan) const
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        const QString file = libraryFolder + u'/' + name;
        image.save(file);
        return file;
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
    QVariantMap row(qint32 entryCode) { return tovradocs::Testing::contentRow(*host, entryCode); }

    std::shared_ptr<tovradocs::ReferenceHost> host;
    std::shared_ptr<tovradocs::Testing::RecordingDataLink> link;
    QString libraryFolder;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
