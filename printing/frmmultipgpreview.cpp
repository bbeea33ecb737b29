#include "printing/frmmultipgpreview.h"

#include "component/dialogservice.h"
#include "printing/clsmultipgpreview.h"
#include "printing/systemprinter.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace multipgpreviewwindow {

const char *const kOptionCaptions[5] = {"Copy page to clipboard", "Print Current Page",
                                        "Print Pages", "Print All", "Copy all pages to a Folder"};

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &tip)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    return b;
}

// Digits, Backspace and editing keys pass; other printable keys are dropped.
class DigitsOnly : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const QString text = static_cast<QKeyEvent *>(event)->text();
        return !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isDigit();
    }
};

} // namespace multipgpreviewwindow

using namespace multipgpreviewwindow;

frmMultiPgPreview::frmMultiPgPreview(clsMultiPgPreview *engine, QWidget *parent)
    : QDialog(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("frmMultiPgPreview"));
    setWindowTitle(QStringLiteral("Print Preview"));
    m_folder = QDir::homePath();
    buildControls();
    if (QScreen *screen = QApplication::primaryScreen())
        resize(screen->availableGeometry().size());
    setWindowState(Qt::WindowMaximized);
}

frmMultiPgPreview::~frmMultiPgPreview() { removePageFiles(); }

void frmMultiPgPreview::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    outer->addLayout(bar);

    auto *prev = button(this, "Command1_0", QStringLiteral("<"), QStringLiteral("Prev. Page"));
    auto *next = button(this, "Command1_1", QStringLiteral(">"), QStringLiteral("Next Page"));
    prev->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    next->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    prev->setText(QString());
    next->setText(QString());
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignCenter);
    auto *cmdGoTo = button(this, "cmdGoTo", QStringLiteral("Goto Page"), QString());
    m_cmdFullPage = button(this, "cmdFullPage", QStringLiteral("Fit Page"), QString());
    auto *cmdPrintButton = button(this, "cmd_print", QStringLiteral("Print"), QStringLiteral("Print Options"));
    auto *quit = button(this, "cmd_quit", QStringLiteral("Exit"), QStringLiteral("Close"));
    for (int i = 0; i < 2; ++i) {
        auto *fit = new QLabel(this);
        fit->setObjectName(QStringLiteral("imgFit_%1").arg(i));
        fit->hide();
    }
    bar->addWidget(prev);
    bar->addWidget(m_label1);
    bar->addWidget(next);
    bar->addWidget(cmdGoTo);
    bar->addWidget(m_cmdFullPage);
    bar->addWidget(cmdPrintButton);
    bar->addStretch();
    bar->addWidget(quit);

    auto *pageRow = new QHBoxLayout;
    outer->addLayout(pageRow, 1);
    m_picture2 = new QFrame(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setFrameShape(QFrame::StyledPanel);
    m_picture2->setStyleSheet(QStringLiteral("QFrame#Picture2 { background: #808080; }"));
    m_picture1 = new QLabel(m_picture2);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->installEventFilter(this);
    m_picFullPage = new QLabel(m_picture2);
    m_picFullPage->setObjectName(QStringLiteral("picFullPage"));
    m_picFullPage->setAlignment(Qt::AlignCenter);
    m_picFullPage->hide();
    auto *printPic = new QLabel(this);
    printPic->setObjectName(QStringLiteral("picPrintPic"));
    printPic->hide();
    m_vscroll = new QScrollBar(Qt::Vertical, this);
    m_vscroll->setObjectName(QStringLiteral("VScroll1"));
    pageRow->addWidget(m_picture2, 1);
    pageRow->addWidget(m_vscroll);
    auto *hbar = new QWidget(this);
    hbar->setObjectName(QStringLiteral("picHScroll"));
    auto *hbarLayout = new QHBoxLayout(hbar);
    hbarLayout->setContentsMargins(0, 0, 0, 0);
    m_hscroll = new QScrollBar(Qt::Horizontal, hbar);
    m_hscroll->setObjectName(QStringLiteral("HScroll1"));
    hbarLayout->addWidget(m_hscroll);
    outer->addWidget(hbar);
    connect(m_vscroll, &QScrollBar::valueChanged, this, [this] { placeCanvas(); });
    connect(m_hscroll, &QScrollBar::valueChanged, this, [this] { placeCanvas(); });

    // Go-to panel.
    m_picGoto = new QFrame(this);
    m_picGoto->setObjectName(QStringLiteral("picGoto"));
    m_picGoto->setFrameShape(QFrame::Box);
    m_picGoto->setAutoFillBackground(true);
    auto *gotoLayout = new QHBoxLayout(m_picGoto);
    m_label5 = new QLabel(m_picGoto);
    m_label5->setObjectName(QStringLiteral("Label5"));
    m_txtGoto = new QLineEdit(m_picGoto);
    m_txtGoto->setObjectName(QStringLiteral("txtGoto"));
    m_txtGoto->installEventFilter(new DigitsOnly(m_txtGoto));
    auto *gotoOk = button(m_picGoto, "cmdGotoOK", QStringLiteral("OK"), QString());
    gotoLayout->addWidget(m_label5);
    gotoLayout->addWidget(m_txtGoto);
    gotoLayout->addWidget(gotoOk);
    m_picGoto->hide();
    connect(m_txtGoto, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.toInt() > m_lastPage + 1)
            m_txtGoto->setText(QString::number(m_lastPage + 1));
    });
    connect(m_txtGoto, &QLineEdit::returnPressed, this, [this] { goTo(); });
    connect(gotoOk, &QPushButton::clicked, this, [this] { goTo(); });
    connect(cmdGoTo, &QPushButton::clicked, this, [this] {
        closePanels();
        m_picGoto->show();
        m_picGoto->raise();
        m_txtGoto->setFocus();
    });

    // Print options panel.
    m_picPrintOptions = new QGroupBox(QStringLiteral("Print Options"), this);
    m_picPrintOptions->setObjectName(QStringLiteral("picPrintOptions"));
    m_picPrintOptions->setAutoFillBackground(true);
    auto *optionsLayout = new QVBoxLayout(m_picPrintOptions);
    auto *art = new QLabel(m_picPrintOptions);
    art->setObjectName(QStringLiteral("optArt"));
    art->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32));
    optionsLayout->addWidget(art);
    for (int i = 0; i < 5; ++i) {
        auto *row = new QHBoxLayout;
        m_optPrint[i] = new QRadioButton(m_picPrintOptions);
        m_optPrint[i]->setObjectName(QStringLiteral("optPrint_%1").arg(i));
        auto *caption = new QLabel(QLatin1String(kOptionCaptions[i]), m_picPrintOptions);
        caption->setObjectName(QStringLiteral("optText_%1").arg(i));
        caption->setBuddy(m_optPrint[i]);
        row->addWidget(m_optPrint[i]);
        row->addWidget(caption, 1);
        optionsLayout->addLayout(row);
        if (i == 2) {
            auto *range = new QHBoxLayout;
            m_txtFrom = new QLineEdit(QStringLiteral("1"), m_picPrintOptions);
            m_txtFrom->setObjectName(QStringLiteral("txtFrom"));
            m_txtTo = new QLineEdit(QStringLiteral("1"), m_picPrintOptions);
            m_txtTo->setObjectName(QStringLiteral("txtTo"));
            for (QLineEdit *edit : {m_txtFrom, m_txtTo}) {
                edit->installEventFilter(new DigitsOnly(edit));
                edit->installEventFilter(this);
            }
            range->addSpacing(24);
            range->addWidget(m_txtFrom);
            range->addWidget(new QLabel(QStringLiteral("to"), m_picPrintOptions));
            range->addWidget(m_txtTo);
            optionsLayout->addLayout(range);
            connect(m_txtFrom, &QLineEdit::editingFinished, this, [this] { fixFrom(); });
            connect(m_txtTo, &QLineEdit::editingFinished, this, [this] { fixTo(); });
        }
    }
    m_cmdPrint = button(m_picPrintOptions, "cmdPrint", QStringLiteral("OK"), QString());
    m_lblPrintingPg = new QLabel(m_picPrintOptions);
    m_lblPrintingPg->setObjectName(QStringLiteral("lblPrintingPg"));
    m_lblPrintingPg->hide();
    optionsLayout->addWidget(m_cmdPrint);
    optionsLayout->addWidget(m_lblPrintingPg);
    m_picPrintOptions->hide();
    connect(cmdPrintButton, &QPushButton::clicked, this, [this] { openPrintOptions(); });
    connect(m_cmdPrint, &QPushButton::clicked, this, [this] { runPrintOption(); });

    // Folder panel.
    m_picGetFolder = new QGroupBox(QStringLiteral(" Select a Directory: "), this);
    m_picGetFolder->setObjectName(QStringLiteral("picGetFolder"));
    m_picGetFolder->setAutoFillBackground(true);
    auto *folderLayout = new QVBoxLayout(m_picGetFolder);
    m_drive1 = new QComboBox(m_picGetFolder);
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    for (const QFileInfo &drive : QDir::drives())
        m_drive1->addItem(drive.absolutePath());
    m_folderLabel = new QLabel(m_picGetFolder);
    m_dir1 = new QListWidget(m_picGetFolder);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    auto *folderButtons = new QHBoxLayout;
    auto *newFolder = button(m_picGetFolder, "cmdNewFolder", QStringLiteral("New Folder"), QString());
    auto *upOne = button(m_picGetFolder, "cmdUpOne", QStringLiteral("Back Up"), QString());
    auto *open = button(m_picGetFolder, "cmdOpen", QStringLiteral("OK"), QString());
    auto *cancel = button(m_picGetFolder, "cmdQuit", QStringLiteral("Cancel"), QString());
    folderButtons->addWidget(newFolder);
    folderButtons->addWidget(upOne);
    folderButtons->addWidget(open);
    folderButtons->addWidget(cancel);
    folderLayout->addWidget(m_drive1);
    folderLayout->addWidget(m_folderLabel);
    folderLayout->addWidget(m_dir1, 1);
    folderLayout->addLayout(folderButtons);
    m_picGetFolder->hide();
    connect(m_drive1, &QComboBox::activated, this, [this] { setShownFolder(m_drive1->currentText()); });
    connect(m_dir1, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        setShownFolder(QDir(m_folder).filePath(item->text()));
    });
    connect(newFolder, &QPushButton::clicked, this, [this] { makeNewFolder(); });
    connect(upOne, &QPushButton::clicked, this, [this] {
        QDir dir(m_folder);
        if (dir.cdUp())
            setShownFolder(dir.absolutePath());
    });
    connect(open, &QPushButton::clicked, this, [this] { copyAllPages(); });
    connect(cancel, &QPushButton::clicked, m_picGetFolder, &QWidget::hide);

    connect(prev, &QPushButton::clicked, this, [this] { showPage(std::max(0, m_currentPage - 1)); });
    connect(next, &QPushButton::clicked, this, [this] { showPage(std::min(m_lastPage, m_currentPage + 1)); });
    connect(m_cmdFullPage, &QPushButton::clicked, this, [this] { toggleFullPage(); });
    connect(quit, &QPushButton::clicked, this, [this] { reject(); });
}

void frmMultiPgPreview::setCanvasSize(const QSize &pixels)
{
    m_picture1->resize(pixels);
    // Ranges as the engine has always set them, in twips of the canvas.
    const int heightTwips = pixels.height() * 15;
    const int widthTwips = pixels.width() * 15;
    const int vmax = qRound(heightTwips * 0.5);
    const int hmax = qRound(widthTwips * 0.25);
    m_vscroll->setRange(-500, vmax);
    m_vscroll->setSingleStep(qRound(vmax * 0.1));
    m_vscroll->setPageStep(qRound(vmax * 0.5));
    m_hscroll->setRange(-500, hmax);
    m_hscroll->setSingleStep(qRound(hmax * 0.1));
    m_hscroll->setPageStep(qRound(hmax * 0.5));
}

void frmMultiPgPreview::setLastPage(int lastPage)
{
    m_lastPage = std::max(0, lastPage);
    m_label5->setText(QStringLiteral("Goto Page#\n(1 to %1)").arg(m_lastPage + 1));
    m_txtTo->setText(QString::number(m_lastPage + 1));
    updatePageLabel();
}

void frmMultiPgPreview::showPage(int page)
{
    m_currentPage = std::clamp(page, 0, m_lastPage);
    m_page = QImage(clsMultiPgPreview::pageFile(m_currentPage));
    m_picture1->setPixmap(QPixmap::fromImage(m_page));
    if (!m_page.isNull())
        m_picture1->resize(m_page.size());
    if (m_picFullPage->isVisible()) {
        toggleFullPage(); // back to full size, then fit the new page
        toggleFullPage();
    }
    closePanels();
    m_vscroll->setValue(0);
    m_hscroll->setValue(0);
    placeCanvas();
    updatePageLabel();
}

void frmMultiPgPreview::updatePageLabel()
{
    m_label1->setText(QStringLiteral("%1\n-- of --\n%2").arg(m_currentPage + 1).arg(m_lastPage + 1));
    m_vscroll->setEnabled(m_picture1->height() > m_picture2->height());
    m_hscroll->setEnabled(m_picture1->width() > m_picture2->width());
}

void frmMultiPgPreview::placeCanvas()
{
    const int spareWidth = m_picture2->width() - m_picture1->width();
    const int left = spareWidth > 0 ? spareWidth / 2 : 0;
    // The scroll values are twips; the canvas moves by pixels.
    m_picture1->move(left - m_hscroll->value() / 15 * 2, -m_vscroll->value() / 15);
}

void frmMultiPgPreview::goTo()
{
    const int number = m_txtGoto->text().toInt();
    if (number != 0)
        showPage(std::min(number - 1, m_lastPage));
}

void frmMultiPgPreview::toggleFullPage()
{
    if (m_picFullPage->isVisible()) {
        m_picFullPage->hide();
        m_picture1->show();
        m_cmdFullPage->setText(QStringLiteral("Fit Page"));
        return;
    }
    m_picFullPage->setGeometry(m_picture2->rect());
    m_picFullPage->setPixmap(QPixmap::fromImage(
        m_page.scaled(m_picture2->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_picFullPage->show();
    m_picture1->hide();
    m_cmdFullPage->setText(QStringLiteral("Full Size"));
}

void frmMultiPgPreview::openPrintOptions()
{
    closePanels();
    m_optPrint[3]->setChecked(true);
    m_picPrintOptions->show();
    m_picPrintOptions->raise();
}

void frmMultiPgPreview::closePanels()
{
    m_picPrintOptions->hide();
    m_picGetFolder->hide();
    m_picGoto->hide();
    m_lblPrintingPg->hide();
    m_picPrintOptions->setEnabled(true);
    m_cmdPrint->setEnabled(true);
}

void frmMultiPgPreview::fixFrom()
{
    const int to = m_txtTo->text().toInt();
    int from = m_txtFrom->text().toInt();
    if (from < 1)
        from = 1;
    if (from > to)
        from = to;
    m_txtFrom->setText(QString::number(from));
}

void frmMultiPgPreview::fixTo()
{
    const int from = m_txtFrom->text().toInt();
    int to = m_txtTo->text().toInt();
    if (to > m_lastPage + 1)
        to = m_lastPage + 1;
    if (to < from)
        to = from;
    m_txtTo->setText(QString::number(to));
}

void frmMultiPgPreview::runPrintOption()
{
    int option = 0;
    while (option < 5 && !m_optPrint[option]->isChecked())
        ++option;
    m_cmdPrint->setEnabled(false);
    m_lblPrintingPg->show();
    switch (option) {
    case 0:
        QApplication::clipboard()->clear();
        QApplication::clipboard()->setImage(m_page);
        break;
    case 1:
        m_lblPrintingPg->setText(QStringLiteral("Printing page %1").arg(m_currentPage + 1));
        printPage(m_page);
        break;
    case 2: {
        fixTo();
        fixFrom();
        const int from = m_txtFrom->text().toInt();
        const int to = m_txtTo->text().toInt();
        for (int page = from - 1; page <= to - 1; ++page) {
            m_lblPrintingPg->setText(QStringLiteral("Printing page %1 of %2").arg(page + 1).arg(to));
            if (!printPage(QImage(clsMultiPgPreview::pageFile(page))))
                break;
        }
        showPage(m_currentPage);
        break;
    }
    case 3:
        if (m_engine)
            m_engine->setSendToPrinter(true);
        accept();
        return;
    case 4:
        setShownFolder(m_folder);
        m_picGetFolder->show();
        m_picGetFolder->raise();
        return;
    default:
        break;
    }
    closePanels();
}

bool frmMultiPgPreview::printPage(const QImage &page)
{
    if (page.isNull())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPainter painter;
    bool printed = false;
    if (SystemPrinter::beginJob(painter, this)) {
        QPrinter &printer = SystemPrinter::printer();
        const QRect area(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const int copies = SystemPrinter::repeatsForCopies();
        for (int copy = 0; copy < copies; ++copy) {
            if (copy > 0)
                printer.newPage();
            painter.drawImage(area, page);
        }
        printed = painter.end();
    }
    if (m_engine)
        SystemPrinter::setOrientation(m_engine->Orientation());
    QApplication::restoreOverrideCursor();
    return printed;
}

void frmMultiPgPreview::setShownFolder(const QString &folder)
{
    QDir dir(folder);
    if (!dir.exists())
        return;
    m_folder = dir.absolutePath();
    m_folderLabel->setText(m_folder);
    m_dir1->clear();
    m_dir1->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
}

void frmMultiPgPreview::makeNewFolder()
{
    const std::optional<QString> name =
        DialogService::input(this, QStringLiteral("Enter Folder Name"), QStringLiteral("New Folder"));
    if (!name || name->trimmed().isEmpty())
        return;
    QDir dir(m_folder);
    if (!dir.mkdir(name->trimmed()) && !dir.exists(name->trimmed())) {
        DialogService::message(this, QStringLiteral("The folder \"%1\" could not be created.").arg(name->trimmed()),
                               QString(), Buttons::Ok, Severity::Warning);
        return;
    }
    setShownFolder(dir.filePath(name->trimmed()));
}

void frmMultiPgPreview::copyAllPages()
{
    QString base = m_engine ? m_engine->ReportTitle().trimmed() : QString();
    if (base.isEmpty() || base.contains(u'\\') || base.contains(u'/'))
        base = QStringLiteral("PPview");
    m_lblPrintingPg->show();
    QStringList failed;
    for (int page = 0; page <= m_lastPage; ++page) {
        m_lblPrintingPg->setText(QStringLiteral("Copying page %1").arg(page + 1));
        const QString target = QDir(m_folder).filePath(QStringLiteral("%1%2.bmp").arg(base).arg(page + 1));
        QFile::remove(target);
        if (!QFile::copy(clsMultiPgPreview::pageFile(page), target))
            failed << QDir::toNativeSeparators(target);
    }
    if (!failed.isEmpty())
        DialogService::message(this, QStringLiteral("These pages could not be copied:\n") + failed.join(u'\n'),
                               QString(), Buttons::Ok, Severity::Warning);
    closePanels();
}

void frmMultiPgPreview::removePageFiles()
{
    const QDir dir(clsMultiPgPreview::pageFolder());
    for (const QString &name : dir.entryList({QStringLiteral("PPview*.bmp")}, QDir::Files))
        QFile::remove(dir.filePath(name));
}

void frmMultiPgPreview::done(int result)
{
    removePageFiles();
    m_lastPage = 0;
    m_currentPage = 0;
    QDialog::done(result);
}

void frmMultiPgPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    const int right = width() - 12;
    for (QWidget *panel : {static_cast<QWidget *>(m_picGoto), static_cast<QWidget *>(m_picPrintOptions),
                           static_cast<QWidget *>(m_picGetFolder)}) {
        panel->adjustSize();
        QSize size = panel->sizeHint();
        if (panel == m_picGetFolder)
            size = QSize(360, 420);
        panel->setGeometry(right - size.width(), 56, size.width(), size.height());
    }
    placeCanvas();
    updatePageLabel();
}

bool frmMultiPgPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture1) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_dragStart = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            m_dragScroll = QPoint(m_hscroll->value(), m_vscroll->value());
        } else if (event->type() == QEvent::MouseMove) {
            const QPoint delta = static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_dragStart;
            m_hscroll->setValue(m_dragScroll.x() - delta.x() * 15 / 2);
            m_vscroll->setValue(m_dragScroll.y() - delta.y() * 15);
        }
    } else if ((watched == m_txtFrom || watched == m_txtTo) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            auto *edit = static_cast<QLineEdit *>(watched);
            edit->setText(QString::number(edit->text().toInt() + (key == Qt::Key_Up ? 1 : -1)));
            edit == m_txtFrom ? fixFrom() : fixTo();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tovradocs::Internal
