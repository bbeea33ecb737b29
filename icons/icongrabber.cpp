#include "icons/icongrabber.h"

#include "component/dialogservice.h"
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
#include <QStyle>
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
    m_leftOut = new QPushButton(m_status);
    m_leftOut->setObjectName(QStringLiteral("cmd_leftOut"));
    m_leftOut->setFlat(true);
    m_leftOut->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    m_leftOut->setToolTip(QStringLiteral("Show which files and why"));
    m_leftOut->hide();
    m_status->addPermanentWidget(m_leftOut);
    connect(m_leftOut, &QPushButton::clicked, this, &IconGrabber::showProblems);
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
    m_problems.clear();
    m_leftOut->hide();
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
        const auto stopped = [running] { return !running->load(); };
        int total = 0;
        for (const QString &name : names) {
            if (stopped())
                return;
            // A damaged icon is left out; the file's others still come.
            FileIcons icons = iconsOfFile(QDir(folder).filePath(name), stopped);
            if (icons.cancelled)
                return;
            QList<Found> found;
            for (int i = 0; i < icons.icons.size() && total < MaxIcons; ++i, ++total)
                found.append(
                    {name + QStringLiteral(" - %1").arg(i + 1), icons.icons.at(i).toImage()});
            const bool full = total == MaxIcons && name != names.last();
            if (full)
                icons.problem
                    = QStringLiteral("The grabber shows at most %1 icons; the files after this "
                                     "one are not read.")
                          .arg(MaxIcons);
            QMetaObject::invokeMethod(
                self.data(),
                [self, running, name, found, problem = icons.problem] {
                    if (self && running->load())
                        self->addFound(name, found, problem);
                },
                Qt::QueuedConnection);
            if (full)
                break;
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

void IconGrabber::addFound(const QString &fileName, const QList<Found> &found,
                           const QString &problem)
{
    m_status->showMessage(QStringLiteral("Processing ") + fileName);
    for (const Found &f : found) {
        m_status->showMessage(QStringLiteral("Processing ") + f.key);
        auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(f.picture)), f.key, m_list);
        item->setData(Qt::UserRole, f.key);
        m_icons.append(f.picture);
    }
    if (!problem.isEmpty())
        m_problems.append(QStringLiteral("\u2022 ") + fileName + QStringLiteral(": ") + problem);
}

void IconGrabber::finishGrab()
{
    m_running.reset();
    m_status->showMessage(QStringLiteral("Total Icons :  %1").arg(m_list->count()));
    if (!m_problems.isEmpty()) {
        m_leftOut->setText(QStringLiteral("Files not read in full: %1").arg(m_problems.size()));
        m_leftOut->show();
    }
    if (m_list->count()) {
        const QSignalBlocker quiet(m_list);
        m_list->setCurrentRow(0);
        m_preview->setPixmap(QPixmap::fromImage(m_icons.first()));
    }
    Q_EMIT grabFinished(int(m_list->count()));
}

void IconGrabber::showProblems()
{
    constexpr int Shown = 20;
    QStringList lines = m_problems.mid(0, Shown);
    if (m_problems.size() > Shown)
        lines << QStringLiteral("and %1 more.").arg(m_problems.size() - Shown);
    DialogService::message(
        this, QStringLiteral("These files were not read in full:\n\n") + lines.join(u'\n'),
        windowTitle(), Buttons::Ok, Severity::Information);
}

void IconGrabber::selectItem(int row)
{
    if (row < 0 || row >= m_icons.size())
        return;
    m_preview->setPixmap(QPixmap::fromImage(m_icons.at(row)));
    m_status->showMessage(QStringLiteral("selected : ") + m_list->item(row)->text());
}

} // namespace tovradocs::Internal
