#include "icons/icongrabber.h"

#include "icons/folderbrowser.h"
#include "icons/peiconreader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QThreadPool>
#include <QVBoxLayout>

namespace tovradocs::Internal {

IconGrabber::IconGrabber(QWidget *owner, QLabel *drwBoard) : QDialog(owner), m_drwBoard(drwBoard)
{
    setObjectName(QStringLiteral("IconGrabber"));
    setWindowTitle(QStringLiteral("Icon Grabber"));
    m_browser = std::make_unique<FolderBrowser>(this, "Drive1", "Dir1", "File1");
    auto *look = new QGroupBox(QStringLiteral("Look in"), this);
    auto *lookLayout = new QVBoxLayout(look);
    const char *captions[5] = {"Exe", "Dll", "Ico", nullptr, "Others"};
    for (int i = 0; i < 5; ++i) {
        if (!captions[i])
            continue;
        m_look[i] = new QCheckBox(QLatin1String(captions[i]), look);
        m_look[i]->setObjectName(QStringLiteral("chk_look_%1").arg(i));
        m_look[i]->setChecked(i < 3);
        lookLayout->addWidget(m_look[i]);
    }
    auto *refresh = new QPushButton(QStringLiteral("Re&fresh"), this);
    refresh->setObjectName(QStringLiteral("cb_refresh"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lvw_icons"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(32, 32));
    m_list->setGridSize(QSize(120, 56));
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMinimumSize(5 * 120 + 24, 5 * 56);
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("pic_icon"));
    m_preview->setFixedSize(40, 40);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameShape(QFrame::Box);
    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("st_status"));
    m_status->setSizeGripEnabled(false);
    auto *ok = new QPushButton(QStringLiteral("Do&ne"), this);
    ok->setObjectName(QStringLiteral("cb_ok"));
    auto *cancel = new QPushButton(QStringLiteral("C&lose"), this);
    cancel->setObjectName(QStringLiteral("cb_Cancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_browser->drives(), 0, 0);
    grid->addWidget(m_browser->folders(), 1, 0);
    grid->addWidget(m_browser->files(), 2, 0);
    grid->addWidget(look, 3, 0);
    grid->addWidget(refresh, 4, 0);
    grid->addWidget(m_list, 0, 1, 4, 3);
    grid->addWidget(m_preview, 4, 1);
    grid->addWidget(ok, 4, 2);
    grid->addWidget(cancel, 4, 3);
    grid->addWidget(m_status, 5, 0, 1, 4);

    connect(refresh, &QPushButton::clicked, this, &IconGrabber::grab);
    connect(m_list, &QListWidget::currentRowChanged, this, &IconGrabber::selectItem);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_drwBoard && !m_preview->pixmap().isNull()) {
            m_drwBoard->setPixmap(m_preview->pixmap());
            m_drwBoard->update();
        }
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QCheckBox *box : m_look)
        if (box)
            connect(box, &QCheckBox::toggled, this, [this] {
                applyTypes();
                grab();
            });
    m_browser->folderChanged = [this] { grab(); };
    applyTypes();
    m_browser->setFolder(QDir::currentPath());
}

IconGrabber::~IconGrabber()
{
    stopWorker();
}

QString IconGrabber::patternFor(bool exe, bool dll, bool ico, bool others)
{
    if (others)
        return QStringLiteral("*.*");
    QString pattern = QStringLiteral("*.xxx");
    const std::pair<bool, const char *> types[] = {{exe, "Exe"}, {dll, "Dll"}, {ico, "Ico"}};
    for (const auto &[checked, caption] : types)
        if (checked)
            pattern += QStringLiteral(";*.") + QLatin1String(caption);
    return pattern;
}

void IconGrabber::applyTypes()
{
    m_browser->setPattern(patternFor(m_look[0]->isChecked(), m_look[1]->isChecked(), m_look[2]->isChecked(),
                                     m_look[4]->isChecked()));
}

void IconGrabber::setFolder(const QString &folder)
{
    m_browser->setFolder(folder);
}

void IconGrabber::stopWorker()
{
    if (m_running)
        m_running->store(false);
    m_running.reset();
}

void IconGrabber::grab()
{
    stopWorker();
    m_list->clear();
    m_icons.clear();
    m_preview->clear();
    const QStringList names = m_browser->fileNames();
    if (names.isEmpty()) {
        m_status->showMessage(QStringLiteral("No Files available"));
        Q_EMIT grabFinished(0);
        return;
    }
    auto running = std::make_shared<std::atomic<bool>>(true);
    m_running = running;
    const QString folder = m_browser->folder();
    QPointer<IconGrabber> self(this);
    QThreadPool::globalInstance()->start([self, running, folder, names] {
        for (const QString &name : names) {
            if (!running->load())
                return;
            const QString path = QDir(folder).filePath(name);
            QList<Found> found;
            // A damaged icon is left out; the file's others still come.
            const QList<IconImage> icons = iconsOfFile(path);
            for (int i = 0; i < icons.size(); ++i)
                found.append({name + QStringLiteral(" - %1").arg(i + 1), icons.at(i).scaled32()});
            QMetaObject::invokeMethod(
                self.data(),
                [self, running, name, found] {
                    if (self && running->load())
                        self->addFound(name, found);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, running] {
                if (self && running->load())
                    self->finishGrab();
            },
            Qt::QueuedConnection);
    });
}

void IconGrabber::addFound(const QString &fileName, const QList<Found> &found)
{
    m_status->showMessage(QStringLiteral("Processing ") + fileName);
    for (const Found &f : found) {
        m_status->showMessage(QStringLiteral("Processing ") + f.key);
        auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(f.icon.toImage())), f.key, m_list);
        item->setData(Qt::UserRole, f.key);
        m_icons.append(f.icon);
    }
}

void IconGrabber::finishGrab()
{
    m_running.reset();
    m_status->showMessage(QStringLiteral("Total Icons :  %1").arg(m_list->count()));
    if (m_list->count()) {
        const QSignalBlocker quiet(m_list);
        m_list->setCurrentRow(0);
        m_preview->setPixmap(QPixmap::fromImage(m_icons.first().toImage()));
    }
    Q_EMIT grabFinished(int(m_list->count()));
}

void IconGrabber::selectItem(int row)
{
    if (row < 0 || row >= m_icons.size())
        return;
    m_preview->setPixmap(QPixmap::fromImage(m_icons.at(row).toImage()));
    m_status->showMessage(QStringLiteral("selected : ") + m_list->item(row)->text());
}

} // namespace tovradocs::Internal
