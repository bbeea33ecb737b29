#include "library/entrydetails.h"
#include "library/bookpatient.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/windowutils.h"
#include "controls/tovracombo.h"
#include "library/librarycopier.h"
#include "library/librarylogging.h"
#include "library/librarysql.h"
#include "library/pathlabel.h"

#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace tovradocs::Internal {

namespace EntryDetailsDetail {

const QString windowName = QStringLiteral("EntryDetails");
// Shown for no choice; stored as 0.
const QString noneItem = QStringLiteral("(None)");

QString textOf(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

// Marks the one item of the transition list that means "no transition".
constexpr int noTransitionRole = Qt::UserRole + 1;

// The host's own "no effect" row, when its list has one.
int hostNoTransition(const QComboBox *combo)
{
    for (int i = 0; i < combo->count(); ++i) {
        QString text = combo->itemText(i).trimmed().toLower();
        if (text.startsWith(u'(') && text.endsWith(u')'))
            text = text.mid(1, text.size() - 2).trimmed();
        if (text == QLatin1String("none") || text == QLatin1String("no effect")
            || text == QLatin1String("no transition"))
            return i;
    }
    return -1;
}

int noTransitionIndex(const QComboBox *combo)
{
    for (int i = 0; i < combo->count(); ++i)
        if (combo->itemData(i, noTransitionRole).toBool())
            return i;
    return -1;
}

} // namespace EntryDetailsDetail

EntryDetails::EntryDetails(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("EntryDetails"));
    setWindowTitle(QStringLiteral("Library Entry Details"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    buildControls();
    KeyHandler::install(this);
}

EntryDetails::~EntryDetails()
{
    releaseRecordset();
}

void EntryDetails::focusOnAlt(Qt::Key key, QWidget *field)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::AltModifier | key), this);
    connect(shortcut, &QShortcut::activated, field, [field] { field->setFocus(Qt::ShortcutFocusReason); });
}

void EntryDetails::buildControls()
{
    auto *grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    QList<QLabel *> captions;
    auto addRow = [&](const QString &text, QWidget *field, QLayout *fieldLayout = nullptr) {
        auto *label = new QLabel(text, this);
        label->setBuddy(field);
        captions << label;
        grid->addWidget(label, row, 0);
        if (fieldLayout)
            grid->addLayout(fieldLayout, row, 1);
        else
            grid->addWidget(field, row, 1);
        ++row;
    };

    m_lblBookName = new PathLabel(this);
    m_lblBookName->setObjectName(QStringLiteral("lblBookName"));
    addRow(QStringLiteral("Book / Patient"), m_lblBookName);

    m_lblFileName = new PathLabel(this);
    m_lblFileName->setObjectName(QStringLiteral("lblFileName"));
    addRow(QStringLiteral("File Name"), m_lblFileName);

    m_txtDescription = new QLineEdit(this);
    m_txtDescription->setObjectName(QStringLiteral("txtDescription"));
    m_txtDescription->setToolTip(QStringLiteral("The caption shown with this entry"));
    addRow(QStringLiteral("Description"), m_txtDescription);

    m_dtpEntryDate = new QDateEdit(QDate::currentDate(), this);
    m_dtpEntryDate->setObjectName(QStringLiteral("DtpEntryDate"));
    m_dtpEntryDate->setCalendarPopup(true);
    // Typed the way the desktop writes short dates.
    m_dtpEntryDate->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    auto *dateRow = new QHBoxLayout;
    dateRow->addWidget(m_dtpEntryDate);
    dateRow->addStretch(1);
    addRow(QStringLiteral("Date of entry"), m_dtpEntryDate, dateRow);

    // The captioned combo brings its own caption; it is kept in line with the
    // labels of the other rows.
    m_fcDocCategory = new TovraCombo(this);
    m_fcDocCategory->setObjectName(QStringLiteral("fcDocCategory"));
    m_fcDocCategory->setCaption(QStringLiteral("Document Category"));
    m_fcDocCategory->setToolTip(QStringLiteral("The kind of document this entry is"));
    grid->addWidget(m_fcDocCategory, row++, 0, 1, 2);

    m_cboTransition = new QComboBox(this);
    m_cboTransition->setObjectName(QStringLiteral("cboTransition"));
    m_cboTransition->setToolTip(QStringLiteral("How the slide show brings this page on screen"));
    addRow(QStringLiteral("Transition Effect"), m_cboTransition);

    m_hsbOnScreenTime = new QScrollBar(Qt::Horizontal, this);
    m_hsbOnScreenTime->setObjectName(QStringLiteral("hsbOnScreenTime"));
    m_hsbOnScreenTime->setRange(1, 180);
    m_hsbOnScreenTime->setSingleStep(1);
    m_hsbOnScreenTime->setPageStep(30);
    m_hsbOnScreenTime->setValue(2);
    m_hsbOnScreenTime->setFocusPolicy(Qt::StrongFocus);
    // Scroll bars come with their keys inverted (Right lowers the value); this
    // one sets a time, so Right, Up, Page Up and the wheel up mean more seconds.
    m_hsbOnScreenTime->setInvertedControls(false);
    m_hsbOnScreenTime->setToolTip(
        QStringLiteral("How long the page stays on screen in a slide show"));
    m_lblDuration = new QLabel(this);
    m_lblDuration->setObjectName(QStringLiteral("lblDuration"));
    m_lblDuration->setMinimumWidth(
        m_lblDuration->fontMetrics().horizontalAdvance(QStringLiteral("180 seconds")) + 8);
    auto *timeRow = new QHBoxLayout;
    timeRow->addWidget(m_hsbOnScreenTime, 1);
    timeRow->addWidget(m_lblDuration);
    addRow(QStringLiteral("On Screen Time"), m_hsbOnScreenTime, timeRow);
    connect(m_hsbOnScreenTime, &QScrollBar::valueChanged, this, &EntryDetails::showDuration);

    m_chkPlaySound = new QCheckBox(QStringLiteral("Play Sound file"), this);
    m_chkPlaySound->setObjectName(QStringLiteral("chkPlaySound"));
    grid->addWidget(m_chkPlaySound, row++, 1);

    m_txtSndFile = new QLineEdit(this);
    m_txtSndFile->setObjectName(QStringLiteral("txtSndFile"));
    m_cmdSndFile = new QPushButton(QStringLiteral("..."), this);
    m_cmdSndFile->setObjectName(QStringLiteral("cmdSndFile"));
    m_cmdSndFile->setToolTip(QStringLiteral("Choose the sound file"));
    m_cmdSndFile->setAutoDefault(false);
    m_cmdSndFile->setFixedWidth(
        m_cmdSndFile->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto *soundRow = new QHBoxLayout;
    soundRow->addWidget(m_txtSndFile, 1);
    soundRow->addWidget(m_cmdSndFile);
    addRow(QStringLiteral("Sound file"), m_txtSndFile, soundRow);
    connect(m_cmdSndFile, &QPushButton::clicked, this, &EntryDetails::chooseSoundFile);

    m_txtComments = new QPlainTextEdit(this);
    m_txtComments->setObjectName(QStringLiteral("txtComments"));
    m_txtComments->setTabChangesFocus(true);
    m_txtComments->setToolTip(
        QStringLiteral("Notes while you work on this entry; they are not stored with it"));
    m_txtComments->setFixedHeight(m_txtComments->fontMetrics().lineSpacing() * 4 + 12);
    auto *commentsLabel = new QLabel(QStringLiteral("Comments"), this);
    commentsLabel->setBuddy(m_txtComments);
    commentsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    captions << commentsLabel;
    grid->addWidget(commentsLabel, row, 0);
    grid->addWidget(m_txtComments, row++, 1);

    int captionWidth = 0;
    for (QLabel *label : std::as_const(captions))
        captionWidth = std::max(captionWidth, label->sizeHint().width());
    if (auto *comboCaption = m_fcDocCategory->findChild<QLabel *>(QStringLiteral("caption")))
        captionWidth = std::max(captionWidth, comboCaption->sizeHint().width());
    grid->setColumnMinimumWidth(0, captionWidth);
    if (auto *comboCaption = m_fcDocCategory->findChild<QLabel *>(QStringLiteral("caption")))
        comboCaption->setFixedWidth(
            captionWidth + grid->horizontalSpacing()
            + std::max(0, style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing)));

    m_cbOK = new QPushButton(QStringLiteral("&Save"), this);
    m_cbOK->setObjectName(QStringLiteral("cbOK"));
    m_cbOK->setDefault(true);
    m_cbClose = new QPushButton(QStringLiteral("C&lose"), this);
    m_cbClose->setObjectName(QStringLiteral("cbClose"));
    m_cbClose->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cbOK);
    buttons->addWidget(m_cbClose);
    connect(m_cbOK, &QPushButton::clicked, this, &EntryDetails::save);
    connect(m_cbClose, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    // The captions stay as they are; Alt and a letter of each still reach its field.
    focusOnAlt(Qt::Key_D, m_txtDescription);
    focusOnAlt(Qt::Key_E, m_dtpEntryDate);
    focusOnAlt(Qt::Key_C, m_fcDocCategory);
    focusOnAlt(Qt::Key_T, m_cboTransition);
    focusOnAlt(Qt::Key_I, m_hsbOnScreenTime);
    focusOnAlt(Qt::Key_P, m_chkPlaySound);
    focusOnAlt(Qt::Key_M, m_txtComments);
    resize(560, sizeHint().height());
}

void EntryDetails::loadWindow()
{
    if (m_loaded)
        return;
    m_loaded = true;
    trapErrors(EntryDetailsDetail::windowName, [&] {
        fillComboFromTable(m_cboTransition, QStringLiteral("SystemLists"),
                           QStringLiteral("Description"), QStringLiteral("Entry_Code"),
                           QStringLiteral(" ParentID = 71 "), true);
    });
    trapErrors(EntryDetailsDetail::windowName, [&] {
        // Rows with keys of 0 or less are the host's own; lists never show them.
        fillComboFromTable(m_fcDocCategory->comboBox(), QStringLiteral("DocumentCategories"),
                           QStringLiteral("Description"), QStringLiteral("Entry_Code"),
                           QStringLiteral(" Entry_Code > 0 "), false);
    });
    // One "no transition" entry: the host's own row when its list has one,
    // else "(None)"; a choice can always be taken back with it.
    {
        const BusyMark busy(m_cboTransition);
        int none = EntryDetailsDetail::hostNoTransition(m_cboTransition);
        if (none < 0) {
            m_cboTransition->insertItem(0, EntryDetailsDetail::noneItem, 0);
            none = 0;
        }
        m_cboTransition->setItemData(none, true, EntryDetailsDetail::noTransitionRole);
        m_cboTransition->setCurrentIndex(none);
    }
    // The categories have no such row, so a chosen category can be taken back
    // with "(None)", stored as 0.
    {
        QComboBox *combo = m_fcDocCategory->comboBox();
        const BusyMark busy(combo);
        combo->insertItem(0, EntryDetailsDetail::noneItem, 0);
        combo->setCurrentIndex(0);
    }
    showDuration(m_hsbOnScreenTime->value());
}

void EntryDetails::showDuration(int seconds)
{
    m_lblDuration->setText(QString::number(seconds) + QStringLiteral(" seconds"));
}

bool EntryDetails::prepareRow()
{
    releaseRecordset();
    DataLink *link = dataLink();
    if (!link)
        return false;
    return trapErrors(EntryDetailsDetail::windowName, [&] {
        std::unique_ptr<Recordset> rows;
        link->FillRecordSet(rows, LibrarySql::entryDetails(m_entryCode));
        if (!rows || !rows->isOpen())
            throw HostError(3021, QStringLiteral("The library entries cannot be read."));
        m_recordset = std::move(rows);
        m_newRow = m_entryCode == 0 || m_recordset->isEof();
        if (m_newRow)
            m_recordset->addNew();
        else
            loadControls();
    });
}

void EntryDetails::loadControls()
{
    Recordset &rs = *m_recordset;
    m_txtDescription->setText(EntryDetailsDetail::textOf(rs.value(QStringLiteral("Description"))));
    m_lblFileName->setPath(EntryDetailsDetail::textOf(rs.value(QStringLiteral("FileName"))));
    m_bookCode = rs.value(QStringLiteral("BookCode")).toInt();
    m_entryType = qint16(rs.value(QStringLiteral("EntryType")).toInt());
    const QDate date = rs.value(QStringLiteral("EntryDate")).toDate();
    m_dtpEntryDate->setDate(date.isValid() ? date : QDate::currentDate());

    const QVariant effect = rs.value(QStringLiteral("CTEffect"));
    const int none = EntryDetailsDetail::noTransitionIndex(m_cboTransition);
    const bool meansNone = effect.isNull() || effect.toInt() == 0
        || (none >= 0 && m_cboTransition->itemData(none).toInt() == effect.toInt());
    if (meansNone) {
        // Saved unchanged, the row keeps the number it has.
        m_noTransitionStored = effect.isNull() ? QVariant(0) : effect;
        const BusyMark busy(m_cboTransition);
        m_cboTransition->setCurrentIndex(none);
    } else if (!selectComboByItemData(m_cboTransition, effect, true)) {
        m_unlistedTransition = effect;
        const BusyMark busy(m_cboTransition);
        m_cboTransition->setPlaceholderText(QStringLiteral("(Effect %1)").arg(effect.toString()));
        m_cboTransition->setCurrentIndex(-1);
    }
    const QVariant category = rs.value(QStringLiteral("Category"));
    const BusyMark busy(m_fcDocCategory->comboBox());
    if (!m_fcDocCategory->selectByItemData(category.isNull() ? QVariant(0) : category)) {
        m_unlistedCategory = category;
        m_fcDocCategory->setCurrentIndex(-1);
    }

    const QVariant play = rs.value(QStringLiteral("PlaySound"));
    m_chkPlaySound->setChecked(!play.isNull() && play.toInt() != 0);
    m_txtSndFile->setText(EntryDetailsDetail::textOf(rs.value(QStringLiteral("SoundFile"))));
    if (hasCommentsField())
        m_txtComments->setPlainText(EntryDetailsDetail::textOf(rs.value(QStringLiteral("Comments"))));
    const QVariant time = rs.value(QStringLiteral("OnScreenTime"));
    if (!time.isNull())
        m_hsbOnScreenTime->setValue(time.toInt());
    showDuration(m_hsbOnScreenTime->value());
}

void EntryDetails::chooseSoundFile()
{
    const QString chosen
        = commonFileDialog(this, 1, QStringLiteral("Select sound file.."), QString(),
                           QStringLiteral("Sound Files") + QChar(0) + QStringLiteral("*.wav;*.mid"),
                           QString(), QStringLiteral("wav"));
    if (!chosen.isEmpty())
        m_txtSndFile->setText(chosen);
}

void EntryDetails::save()
{
    if (m_lblFileName->text().isEmpty()) {
        notify(QStringLiteral("Cannot proceed without a valid document"));
        return;
    }
    if (m_txtDescription->text().isEmpty()) {
        notify(QStringLiteral("Cannot Proceed without a valid description for this entry."));
        m_txtDescription->setFocus();
        return;
    }
    if (!m_recordset) {
        // The row could not be prepared; it was reported then.
        if (!prepareRow())
            return;
    }
    if (!writeRow())
        return;
    m_saved = true;
    accept();
}

bool EntryDetails::writeRow()
{
    DataLink *link = dataLink();
    if (!link)
        return false;
    // A new entry's file must live in the library, so the copy is made here,
    // at save time, under the key the row gets; closing unsaved copies nothing.
    std::optional<LibraryCopier> copier;
    QString copiedTo;
    const bool written = trapErrors(EntryDetailsDetail::windowName, [&] {
        Recordset &rs = *m_recordset;
        qint32 key = m_entryCode;
        if (key == 0)
            key = link->GenerateEntrycode(false, QStringLiteral("BookContents"),
                                          QStringLiteral("Entry_code"));
        QString fileName = m_lblFileName->text();
        if (m_newRow) {
            copier.emplace(*link);
            const Result<QString> stored
                = copier->copy(fileName, 1, qAbs(m_bookCode), key, false);
            if (!stored)
                throw HostError(5, stored.error());
            if (*stored != fileName)
                copiedTo = *stored;
            fileName = *stored;
        }
        rs.setValue(QStringLiteral("Description"), m_txtDescription->text());
        // A new entry is what its file is; an edited one keeps the type it has.
        rs.setValue(QStringLiteral("EntryType"),
                    m_newRow ? entryTypeFor(fileName, m_entryType) : qint32(m_entryType));
        rs.setValue(QStringLiteral("FileName"), fileName);
        rs.setValue(QStringLiteral("BookCode"), qAbs(m_bookCode));
        rs.setValue(QStringLiteral("EntryDate"), m_dtpEntryDate->date());
        rs.setValue(QStringLiteral("IndexImage"), false);

        QVariant effect
            = m_cboTransition->currentIndex() < 0 ? QVariant(0) : m_cboTransition->currentData();
        if (m_cboTransition->currentIndex() < 0 && !m_unlistedTransition.isNull())
            effect = m_unlistedTransition;
        else if (m_cboTransition->currentData(EntryDetailsDetail::noTransitionRole).toBool())
            effect = m_noTransitionStored.isValid() ? m_noTransitionStored : QVariant(0);
        rs.setValue(QStringLiteral("CTEffect"), effect.isNull() ? 0 : effect.toInt());
        QVariant category = m_fcDocCategory->currentIndex() < 0
            ? QVariant(0)
            : m_fcDocCategory->currentItemData();
        if (m_fcDocCategory->currentIndex() < 0 && !m_unlistedCategory.isNull())
            category = m_unlistedCategory;
        rs.setValue(QStringLiteral("Category"), category.isNull() ? 0 : category.toInt());

        if (m_entryCode == 0)
            rs.setValue(QStringLiteral("Entry_Code"), key);

        rs.setValue(QStringLiteral("PlaySound"), m_chkPlaySound->isChecked());
        rs.setValue(QStringLiteral("SoundFile"), m_txtSndFile->text());
        rs.setValue(QStringLiteral("OnScreenTime"), qint16(m_hsbOnScreenTime->value()));
        // Hosts without the column keep the box as a scratch pad.
        if (hasCommentsField())
            rs.setValue(QStringLiteral("Comments"), m_txtComments->toPlainText());
        rs.update();
        m_entryCode = key;
    });
    if (!written && !copiedTo.isEmpty())
        copier->discard(copiedTo);
    if (copier) {
        const Outcome synced = copier->finish();
        if (!synced)
            qCWarning(lcLibrary) << synced.error();
    }
    if (written) {
        m_description = m_txtDescription->text();
        if (!copiedTo.isEmpty())
            m_lblFileName->setPath(copiedTo);
    }
    return written;
}

bool EntryDetails::hasCommentsField() const
{
    if (!m_recordset)
        return false;
    const QStringList fields = m_recordset->fieldNames();
    return std::any_of(fields.cbegin(), fields.cend(), [](const QString &field) {
        return field.compare(QLatin1String("Comments"), Qt::CaseInsensitive) == 0;
    });
}

void EntryDetails::done(int result)
{
    releaseRecordset();
    QDialog::done(result);
}

void EntryDetails::releaseRecordset()
{
    // An unsaved new row is dropped here, so it never reaches the table.
    closeRecordsetSafely(m_recordset);
}

void EntryDetails::adoptOwner(QWidget *owner)
{
    QWidget *wanted = owner ? owner : parentWindow();
    if (wanted && wanted != parentWidget())
        setParent(wanted, windowFlags());
}

int EntryDetails::runModal(QWidget *owner)
{
    adoptOwner(owner);
    m_txtDescription->setFocus();
    const int result = DialogService::showModal(this);
    releaseRecordset();
    return result;
}

qint32 EntryDetails::AddLibraryEntry(qint16 EntryType, const QString &BookName, qint32 BookCode,
                                     const QString &FileName, QString &Description, QWidget *Owner)
{
    // A radiograph of another patient is caught before anything is stored.
    if (!confirmDicomPatient(Owner, FileName, qAbs(BookCode)))
        return 0;
    loadWindow();
    m_entryCode = 0;
    m_entryType = EntryType;
    m_bookCode = BookCode;
    m_saved = false;
    m_description.clear();
    m_lblBookName->setPath(BookName);
    m_lblFileName->setPath(FileName);
    m_txtDescription->setText(Description);
    Description.clear();
    if (!prepareRow())
        return 0;
    runModal(Owner);
    if (!m_saved)
        return 0;
    Description = m_description;
    return m_entryCode;
}

QString EntryDetails::EditLibraryEntry(qint32 EntryCode, const QString &BookName, QWidget *Owner)
{
    loadWindow();
    m_entryCode = EntryCode;
    m_saved = false;
    m_description.clear();
    m_lblBookName->setPath(BookName);
    if (!prepareRow())
        return QString();
    if (m_newRow && EntryCode != 0) {
        // Deleted meanwhile, perhaps at another workstation.
        releaseRecordset();
        notify(QStringLiteral("This entry is no longer in the library."));
        return QString();
    }
    runModal(Owner);
    return m_saved ? m_description : QString();
}

} // namespace tovradocs::Internal
