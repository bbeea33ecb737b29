#include "viewers/tovratutor.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/mediaicons.h"
#include "viewers/vidplaywindow.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

const QString kTutorWindow = QStringLiteral("TovraTutor");

const QString kSettingsName = QStringLiteral("Kelmoro");
const QString kFolderKey = QStringLiteral("Tovra/QX094");

} // namespace

QString tutorialFolder()
{
    return QSettings(kSettingsName, kSettingsName).value(kFolderKey).toString();
}

void setTutorialFolder(const QString &folder)
{
    QSettings settings(kSettingsName, kSettingsName);
    settings.setValue(kFolderKey, folder);
    settings.sync();
}

TovraTutor::TovraTutor(QWidget *owner)
    : QDialog(owner)
    , m_videos(new QComboBox(this))
{
    setObjectName(kTutorWindow);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Video Tutorials"));
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(ImageViewerIcon))));

    auto *label = new QLabel(QStringLiteral("Videos"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_videos->setObjectName(QStringLiteral("cboVideos"));
    m_videos->setToolTip(QStringLiteral("Select  Tutorial video"));
    m_videos->setMinimumWidth(280);
    auto *close = new QPushButton(QStringLiteral("C&lose"), this);
    close->setObjectName(QStringLiteral("cb_Cancel"));
    close->setToolTip(QStringLiteral("Close this window"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_videos, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto *top = new QVBoxLayout(this);
    top->addLayout(row);
    top->addLayout(buttons);

    trapErrors(kTutorWindow, [&] { loadList(); });
    connect(m_videos, &QComboBox::currentIndexChanged, this, &TovraTutor::videoChosen);
    KeyHandler::install(this);
}

TovraTutor::~TovraTutor() = default;

void TovraTutor::loadList()
{
    BusyMark busy(m_videos);
    m_videos->clear();
    m_videos->setCurrentText(QString());
    DataLink *link = dataLink();
    if (!link)
        return;
    std::unique_ptr<Recordset> rs;
    link->FillLibRecordSet(rs, QStringLiteral("Select * From Videos Order by Description"));
    for (; rs && rs->isOpen() && !rs->isEof(); rs->moveNext())
        m_videos->addItem(rs->value(QStringLiteral("Description")).toString(),
                          rs->value(QStringLiteral("Entry_Code")));
    m_videos->setCurrentIndex(-1);
    closeRecordsetSafely(rs);
}

void TovraTutor::ShowTutorial(qint32 code)
{
    show();
    raise();
    if (m_videos->count() > 0)
        selectComboByItemData(m_videos, code, false);
}

void TovraTutor::videoChosen(int index)
{
    if (index < 0 || isBusy(m_videos))
        return;
    trapErrors(kTutorWindow, [&] {
        DataLink *link = dataLink();
        if (!link)
            return;
        QString fileName;
        std::unique_ptr<Recordset> rs;
        link->FillLibRecordSet(rs, QStringLiteral("Select * From Videos where Entry_code = ")
                                       + m_videos->itemData(index).toString());
        if (rs && rs->isOpen() && !rs->isEof())
            fileName = rs->value(QStringLiteral("FileName")).toString();
        closeRecordsetSafely(rs);

        QString folder = tutorialFolder();
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            folder = browseForFolder(this, QStringLiteral("Specify Backup Location"));
            if (!folder.isEmpty() && QFileInfo(folder).isDir()
                && QFileInfo(QString(folder + fileName).replace(u'\\', u'/')).isFile())
                setTutorialFolder(folder);
        }
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            notify(QStringLiteral("The folder of the tutorial videos was not found."));
            return;
        }
        // Joined as stored: the name carries its own leading separator.
        const QString path = QString(folder + fileName).replace(u'\\', u'/');
        if (!QFileInfo(path).isFile()) {
            notify(QStringLiteral("Video file : ") + path + QStringLiteral(" not found "));
            return;
        }
        if (const QScreen *screen = this->screen()) {
            // Until the window manager has framed the window, allow for a title bar.
            const QRect area = screen->availableGeometry();
            const QSize frame = frameGeometry().size();
            const int extraWidth = std::max(frame.width() - width(), 2);
            const int extraHeight = std::max(frame.height() - height(), 30);
            move(area.right() - width() - extraWidth + 1, area.bottom() - height() - extraHeight + 1);
        }
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
        auto *player = new VidPlayWindow(this);
        player->ViewVideo(path, m_videos->itemText(index), this);
    });
}

} // namespace tovradocs::Internal
