#include "referencehost.h"
#include "demopractice.h"
#include "hostdatabase.h"
#include "mailmessage.h"
#include "pickerdialog.h"
#include "sqlrecordset.h"
#include "standardlists.h"
#include "storedentrytypes.h"

#include "component/dialogservice.h"
#include "capture/libraryacquisition.h"
#include "library/entrywriter.h"

#include <tovradocs/dokumentz.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QLoggingCategory>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTextToSpeech>

Q_LOGGING_CATEGORY(lcHost, "tovradocs.host")

namespace tovradocs {

using namespace Internal;

struct ReferenceHost::Private
{
    HostOptions options;
    std::shared_ptr<HostDatabase> db;
    QWidget *parent = nullptr;
    QString mailDrop;
    Opener opener;
    QSet<QString> handedOutNames; // names given by NextFileName, not yet written
    std::unique_ptr<QTextToSpeech> speech;
    bool speechTried = false;
    // The window that asked, kept for every dialog of one host operation: once
    // the first dialog closes, the window manager may briefly activate another.
    QPointer<QWidget> pinnedOwner;
};

namespace {

class PinOwner
{
public:
    PinOwner(QPointer<QWidget> &slot, QWidget *owner) : m_slot(slot), m_previous(slot)
    {
        if (!m_slot)
            m_slot = owner;
    }
    ~PinOwner() { m_slot = m_previous; }
    PinOwner(const PinOwner &) = delete;
    PinOwner &operator=(const PinOwner &) = delete;

private:
    QPointer<QWidget> &m_slot;
    QPointer<QWidget> m_previous;
};

} // namespace

ReferenceHost::ReferenceHost()
    : d(std::make_unique<Private>())
{
    // Without a call into the capture layer the linker leaves it out of the
    // program, and the library window would have no capture or scan.
    installLibraryAcquisition();
}

ReferenceHost::~ReferenceHost() = default;

Result<std::shared_ptr<ReferenceHost>> ReferenceHost::open(const HostOptions &options)
{
    using R = Result<std::shared_ptr<ReferenceHost>>;
    auto db = HostDatabase::open(options.database);
    if (!db)
        return R::failure(db.error());

    std::shared_ptr<ReferenceHost> host(new ReferenceHost);
    host->d->db = db.value();
    HostOptions &o = host->d->options;
    o = options;
    if (o.dataFolder.isEmpty()) {
        o.dataFolder = db.value()->dialect() == Dialect::SQLite
                           ? QFileInfo(db.value()->location()).absolutePath()
                           : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    o.dataFolder = QDir::cleanPath(QDir(o.dataFolder).absolutePath());
    if (o.libraryFolder.isEmpty())
        o.libraryFolder = o.dataFolder + QStringLiteral("/Library");
    o.libraryFolder = QDir::cleanPath(QDir(o.libraryFolder).absolutePath());
    if (!QDir().mkpath(o.libraryFolder))
        return R::failure(QStringLiteral("Cannot create the library files folder %1.").arg(o.libraryFolder));

    // Pictures and videos an older writer stored as documents become what they are.
    const Result<int> corrected = correctStoredEntryTypes(
        *host->d->db, [raw = host.get()](const QString &stored) { return raw->resolvePath(stored); });
    if (!corrected)
        qCWarning(lcHost) << "stored entry types were left as they are:" << corrected.error();
    else if (*corrected > 0)
        qCInfo(lcHost) << "corrected the entry type of" << *corrected << "pictures and videos stored as documents";

    if (o.createDemoPractice) {
        const Outcome demo = DemoPractice::create(*host);
        if (!demo)
            return R::failure(demo.error());
    }
    // A new practice without the demo still gets its categories and transitions.
    if (o.createStandardLists && !o.createDemoPractice) {
        if (const Outcome lists = ensureStandardLists(*host); !lists)
            return R::failure(lists.error());
    }
    return host;
}

const HostOptions &ReferenceHost::options() const
{
    return d->options;
}

std::shared_ptr<HostDatabase> ReferenceHost::database() const
{
    return d->db;
}

void ReferenceHost::setParentWindow(QWidget *parent)
{
    d->parent = parent;
}

QWidget *ReferenceHost::parentWindow() const
{
    return d->parent;
}

void ReferenceHost::setMailDropFolder(const QString &folder)
{
    d->mailDrop = folder;
}

void ReferenceHost::setOpener(Opener opener)
{
    d->opener = std::move(opener);
}

bool ReferenceHost::openUrl(const QUrl &url)
{
    if (d->opener)
        return d->opener(url);
    return QDesktopServices::openUrl(url);
}

// ---- database -------------------------------------------------------------

bool ReferenceHost::fill(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    rs = d->db->select(sql);
    return rs->recordCount() > 0;
}

bool ReferenceHost::FillRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    return fill(rs, sql);
}

bool ReferenceHost::FillLibRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    return fill(rs, sql);
}

bool ReferenceHost::FillDaoRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql)
{
    return fill(rs, sql);
}

void ReferenceHost::ExecuteStmt(bool, const QString &sql)
{
    d->db->execute(sql);
}

qint32 ReferenceHost::GenerateEntrycode(bool, const QString &table, const QString &keyField)
{
    return d->db->generateKey(table, keyField);
}

QString ReferenceHost::NextFileName(qint16, qint32 bookCode, qint32 entryCode, const QString &extension)
{
    QString ext = extension.trimmed().toLower();
    while (ext.startsWith(u'.'))
        ext.remove(0, 1);
    if (ext.isEmpty())
        ext = QStringLiteral("dat");
    const QString folder = d->options.libraryFolder + u'/' + QString::number(bookCode);
    if (!QDir().mkpath(folder))
        throw HostError(75, QStringLiteral("Cannot create the library folder %1.").arg(folder));
    const QString base = folder + u'/' + QString::number(entryCode);
    QString candidate = base + u'.' + ext;
    for (int n = 1; QFileInfo::exists(candidate) || d->handedOutNames.contains(candidate); ++n)
        candidate = base + u'_' + QString::number(n) + u'.' + ext;
    d->handedOutNames.insert(candidate);
    return candidate;
}

QString ReferenceHost::GetLibraryFilesFolder()
{
    return d->options.libraryFolder;
}

QString ReferenceHost::resolvePath(const QString &storedPath) const
{
    QString path = storedPath.trimmed();
    path.replace(u'\\', u'/');
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    const QString first = path.section(u'/', 0, 0);
    static const QStringList relativeRoots = {QStringLiteral("LIBRARY"), QStringLiteral("WORKSPC"),
                                              QStringLiteral("BACKUP"), QStringLiteral("HELP")};
    for (const QString &root : relativeRoots) {
        if (first.compare(root, Qt::CaseInsensitive) != 0)
            continue;
        // Prefer an existing folder of either spelling on a case-sensitive disk.
        const QString rest = path.mid(first.size());
        for (const QString &spelling : {first, root, root.toLower()}) {
            if (QFileInfo(d->options.dataFolder + u'/' + spelling).isDir())
                return d->options.dataFolder + u'/' + spelling + rest;
        }
        return d->options.dataFolder + u'/' + root + rest;
    }
    return d->options.dataFolder + u'/' + path;
}

QVariant ReferenceHost::GetSystemSetting(qint16 number)
{
    return d->db->setting(number);
}

void ReferenceHost::SetSystemSetting(qint16 &number, qint16 &value)
{
    const QVariant current = d->db->setting(number);
    switch (current.typeId()) {
    case QMetaType::Bool: d->db->setSetting(number, value != 0); break;
    case QMetaType::QString: d->db->setSetting(number, QString::number(value)); break;
    default: d->db->setSetting(number, int(value)); break;
    }
}

void ReferenceHost::setSetting(int number, const QVariant &value)
{
    d->db->setSetting(number, value);
}

QString ReferenceHost::GetDBPath(bool)
{
    return d->db->location();
}

// ---- messages, help, speech -----------------------------------------------

QWidget *ReferenceHost::dialogOwner() const
{
    if (d->pinnedOwner && d->pinnedOwner->isVisible())
        return d->pinnedOwner;
    // The window the user is working in asked; owning the dialog by the front
    // desk would raise the front desk over it.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return d->parent;
}

void ReferenceHost::PassMessage(const QString &text, qint32 style, const QString &title, qint32)
{
    Severity severity = Severity::Plain;
    if ((style & 0x70) == 16)
        severity = Severity::Critical;
    else if ((style & 0x70) == 48)
        severity = Severity::Warning;
    else if ((style & 0x70) == 64)
        severity = Severity::Information;
    else if ((style & 0x70) == 32)
        severity = Severity::Question;
    DialogService::message(dialogOwner(), text, title.isEmpty() ? QStringLiteral("TovraDocs") : title,
                           Buttons::Ok, severity);
}

void ReferenceHost::ShowHelp(const QString &topicFile)
{
    const QString topic = QFileInfo(QString(topicFile).replace(u'\\', u'/')).fileName();
    for (const QString &folder : {QStringLiteral("help"), QStringLiteral("HELP"), QStringLiteral("Help")}) {
        const QString path = d->options.dataFolder + u'/' + folder + u'/' + topic;
        if (!topic.isEmpty() && QFileInfo(path).isFile()) {
            if (!openUrl(QUrl::fromLocalFile(path)))
                PassMessage(QStringLiteral("Cannot open the help topic %1.").arg(path), 0);
            return;
        }
    }
    PassMessage(QStringLiteral("The help topic \"%1\" is not installed.").arg(topic), 0);
}

void ReferenceHost::SpeakControlText(QWidget *control)
{
    if (!control)
        return;
    QString text;
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        text = edit->text();
    else if (auto *label = qobject_cast<QLabel *>(control))
        text = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        text = button->text().remove(u'&');
    else if (auto *combo = qobject_cast<QComboBox *>(control))
        text = combo->currentText();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(control))
        text = plain->toPlainText();
    else if (auto *rich = qobject_cast<QTextEdit *>(control))
        text = rich->toPlainText();
    if (text.trimmed().isEmpty())
        text = control->accessibleName();
    if (text.trimmed().isEmpty())
        text = control->toolTip();
    if (text.trimmed().isEmpty())
        return;
    if (!d->speechTried) {
        d->speechTried = true;
        if (!QTextToSpeech::availableEngines().isEmpty())
            d->speech = std::make_unique<QTextToSpeech>();
        else
            qCInfo(lcHost) << "no speech engine is installed; control text is not spoken";
    }
    if (d->speech && d->speech->state() != QTextToSpeech::Error)
        d->speech->say(text);
}

// ---- pickers ---------------------------------------------------------------

qint32 ReferenceHost::GetPatientData(QString &patientName)
{
    std::unique_ptr<Recordset> rs;
    QList<PickerDialog::Item> items;
    if (fill(rs, QStringLiteral("Select Entry_Code, FirstName, LastName From Patients "
                                "Where Entry_Code > 0 Order by LastName, FirstName"))) {
        for (; !rs->isEof(); rs->moveNext()) {
            const QString name = QString(rs->value(QStringLiteral("FirstName")).toString() + u' '
                                         + rs->value(QStringLiteral("LastName")).toString()).trimmed();
            items.append({rs->value(QStringLiteral("Entry_Code")).toInt(), name});
        }
    }
    rs.reset();
    PickerDialog dialog(QStringLiteral("Select Patient"), QStringLiteral("lstPatients"), items, dialogOwner());
    if (DialogService::showModal(&dialog) != QDialog::Accepted || dialog.chosenCode() <= 0)
        return 0;
    patientName = dialog.chosenName();
    return dialog.chosenCode();
}

QString ReferenceHost::GetNameOfPatient(qint32 &patientCode)
{
    std::unique_ptr<Recordset> rs;
    if (!fill(rs, QStringLiteral("Select FirstName, LastName From Patients Where Entry_Code = %1")
                      .arg(patientCode)))
        return QString();
    return QString(rs->value(QStringLiteral("FirstName")).toString() + u' '
                   + rs->value(QStringLiteral("LastName")).toString()).trimmed();
}

qint32 ReferenceHost::GetLibraryEntry(QString &bookName)
{
    std::unique_ptr<Recordset> rs;
    QList<PickerDialog::Item> items;
    if (fill(rs, QStringLiteral("Select Entry_Code, Description From Books Where Entry_Code > 0 "
                                "Order by Description"))) {
        for (; !rs->isEof(); rs->moveNext())
            items.append({rs->value(QStringLiteral("Entry_Code")).toInt(),
                          rs->value(QStringLiteral("Description")).toString()});
    }
    rs.reset();
    PickerDialog dialog(QStringLiteral("Select Book"), QStringLiteral("lstBooks"), items, dialogOwner());
    if (DialogService::showModal(&dialog) != QDialog::Accepted || dialog.chosenCode() <= 0)
        return 0;
    bookName = dialog.chosenName();
    return dialog.chosenCode();
}

QString ReferenceHost::SelectDocument(qint32)
{
    return DialogService::openFile(
        dialogOwner(), QStringLiteral("Select Document"),
        QStringLiteral("Documents (*.pdf *.doc *.docx *.odt *.rtf *.txt *.htm *.html *.xls *.xlsx "
                       "*.ods *.ppt *.pptx *.odp *.csv);;All Files (*)"));
}

qint32 ReferenceHost::GetColor()
{
    const auto color = DialogService::color(dialogOwner(), Qt::white, QStringLiteral("Color"));
    if (!color || !color->isValid())
        return -1;
    return color->red() + 256 * color->green() + 65536 * color->blue();
}

QImage ReferenceHost::GetRemoteIcon(qint16 iconSet, qint16 iconNumber)
{
    // Drawn, so that a machine without an icon theme still gets a real icon.
    QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = QColor::fromHsv((iconSet * 120 + iconNumber * 37) % 360, 150, 200);
    QLinearGradient fill(0, 0, 0, 32);
    fill.setColorAt(0, base.lighter(140));
    fill.setColorAt(1, base.darker(130));
    p.setPen(QPen(base.darker(180), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    if (iconSet == 1) {
        // A camera.
        p.drawRoundedRect(QRectF(6, 11, 20, 13), 2, 2);
        p.drawEllipse(QPointF(16, 17.5), 4, 4);
        p.drawLine(QPointF(11, 11), QPointF(13, 8));
        p.drawLine(QPointF(13, 8), QPointF(19, 8));
        p.drawLine(QPointF(19, 8), QPointF(21, 11));
    } else {
        // An open book.
        QPainterPath book;
        book.moveTo(16, 10);
        book.cubicTo(12, 7, 8, 7, 5, 9);
        book.lineTo(5, 24);
        book.cubicTo(8, 22, 12, 22, 16, 25);
        book.cubicTo(20, 22, 24, 22, 27, 24);
        book.lineTo(27, 9);
        book.cubicTo(24, 7, 20, 7, 16, 10);
        book.lineTo(16, 25);
        p.drawPath(book);
    }
    return icon;
}

// ---- mail and viewers ---------------------------------------------------------

void ReferenceHost::EmailDocuments(Dokumentz &documents)
{
    const PinOwner pin(d->pinnedOwner, dialogOwner());
    MailMessage mail;
    const QString practice = GetSystemSetting(2).toString().trimmed();
    mail.setSubject(practice.isEmpty() ? QStringLiteral("Documents")
                                       : QStringLiteral("Documents from Dr. %1").arg(practice));
    QStringList lines;
    QStringList missing;
    for (const Dokument &doc : documents) {
        const QString path = resolvePath(doc.FileName);
        QString label = doc.Description.isEmpty() ? doc.Comments : doc.Description;
        if (label.isEmpty())
            label = QFileInfo(path).fileName();
        if (!QFileInfo(path).isFile()) {
            missing.append(path);
            continue;
        }
        lines.append(QStringLiteral("- %1 (%2)").arg(label, QFileInfo(path).fileName()));
        mail.addAttachment(path);
    }
    if (mail.attachments().isEmpty()) {
        PassMessage(missing.isEmpty() ? QStringLiteral("There are no documents to send.")
                                      : QStringLiteral("None of the documents can be found:\n%1")
                                            .arg(missing.join(u'\n')),
                    0);
        return;
    }
    mail.setBody(QStringLiteral("Attached:\n%1\n").arg(lines.join(u'\n')));
    QStringList unreadable;
    const QByteArray eml = mail.toEml(&unreadable);
    missing += unreadable;

    const QString folder = d->mailDrop.isEmpty() ? QDir::tempPath() : d->mailDrop;
    QDir().mkpath(folder);
    const QString emlPath = folder + QStringLiteral("/Documents-%1.eml")
                                         .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
    QFile file(emlPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(eml) != eml.size()) {
        PassMessage(QStringLiteral("Cannot write the message %1: %2").arg(emlPath, file.errorString()), 16);
        return;
    }
    file.close();
    if (!missing.isEmpty())
        PassMessage(QStringLiteral("These documents could not be attached:\n%1").arg(missing.join(u'\n')), 0);
    if (!d->mailDrop.isEmpty())
        return;

    const QString xdgEmail = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (!xdgEmail.isEmpty()) {
        QStringList args = {QStringLiteral("--subject"), mail.attachments().size() == 1
                                                              ? QFileInfo(mail.attachments().first()).fileName()
                                                              : QStringLiteral("Documents")};
        for (const QString &path : mail.attachments())
            args << QStringLiteral("--attach") << path;
        // xdg-email returns at once; a non-zero end means no mail program took
        // the message, and the user must hear of it, not lose it silently.
        auto *mailer = new QProcess(qApp);
        const Opener opener = d->opener;
        QPointer<QWidget> owner = dialogOwner();
        auto giveUp = [mailer, opener, owner, emlPath](const QString &why) {
            mailer->deleteLater();
            const QUrl folder = QUrl::fromLocalFile(QFileInfo(emlPath).absolutePath());
            if (opener)
                opener(folder);
            else
                QDesktopServices::openUrl(folder);
            DialogService::message(owner, QStringLiteral("%1 The message was saved as %2; it can be "
                                                         "attached by hand.").arg(why, emlPath),
                                   QStringLiteral("TovraDocs"), Buttons::Ok, Severity::Warning);
        };
        QObject::connect(mailer, &QProcess::finished, mailer, [mailer, giveUp](int code, QProcess::ExitStatus status) {
            if (status == QProcess::NormalExit && code == 0)
                mailer->deleteLater();
            else
                giveUp(QStringLiteral("The mail program could not take the message (xdg-email ended with %1).")
                           .arg(code));
        });
        QObject::connect(mailer, &QProcess::errorOccurred, mailer, [giveUp](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                giveUp(QStringLiteral("The mail program could not be started."));
        });
        mailer->start(xdgEmail, args);
        return;
    }
    // No mail program at all: show the user where the message is.
    openUrl(QUrl::fromLocalFile(QFileInfo(emlPath).absolutePath()));
    PassMessage(QStringLiteral("No mail program is set up. The message was saved as %1.").arg(emlPath), 0);
}

void ReferenceHost::AddFileToLib(QString &filePath, qint16 &entryType)
{
    const PinOwner pin(d->pinnedOwner, dialogOwner());
    const QString source = resolvePath(filePath);
    const QFileInfo info(source);
    if (!info.isFile()) {
        PassMessage(QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(source)), 0);
        return;
    }
    QString bookName;
    const qint32 book = GetLibraryEntry(bookName);
    if (book <= 0)
        return;

    // The page keeps its caption in the other book when it is one of ours.
    QString description = info.completeBaseName();
    std::unique_ptr<Recordset> rs;
    QString quoted = filePath;
    quoted.replace(u'\'', QStringLiteral("''"));
    if (fill(rs, QStringLiteral("Select Description From BookContents where FileName = '%1'").arg(quoted))
        && !rs->isEof() && !rs->value(QStringLiteral("Description")).toString().isEmpty())
        description = rs->value(QStringLiteral("Description")).toString();
    rs.reset();

    NewEntry entry;
    entry.bookCode = book;
    entry.sourcePath = source;
    entry.entryType = entryType > 0 ? entryType : 1;
    entry.description = description;
    entry.alwaysCopy = true;
    EntryOutcome outcome;
    {
        EntryWriter writer(*this);
        outcome = writer.add(entry);
        const Outcome synced = writer.finish();
        if (outcome.added && !synced)
            qCWarning(lcHost) << synced.error();
    }
    if (!outcome.added) {
        PassMessage(QStringLiteral("The file could not be added to \"%1\":\n%2")
                        .arg(bookName, outcome.error),
                    16);
        return;
    }
    PassMessage(QStringLiteral("\"%1\" was added to \"%2\".").arg(description, bookName), 64);
}

void ReferenceHost::ViewOtherDocument(QString &filePath, QString &)
{
    openStoredFile(filePath);
}

bool ReferenceHost::openStoredFile(const QString &storedPath)
{
    const QString path = resolvePath(storedPath);
    if (!QFileInfo(path).isFile()) {
        PassMessage(QStringLiteral("File not found: %1").arg(path), 0);
        return false;
    }
    if (!openUrl(QUrl::fromLocalFile(path))) {
        PassMessage(QStringLiteral("No program is set up to open %1.").arg(path), 0);
        return false;
    }
    return true;
}

bool ReferenceHost::ViewExtendedFile(qint32 &, QString &filePath, QString &)
{
    const QString trimmed = filePath.trimmed();
    const QUrl web(trimmed);
    if (web.scheme().startsWith(QLatin1String("http")) || web.scheme() == QLatin1String("mailto"))
        return openUrl(web);
    return openStoredFile(trimmed);
}

} // namespace tovradocs
