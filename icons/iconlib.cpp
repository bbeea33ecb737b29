#include "icons/iconlib.h"

#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>

namespace tovradocs::Internal {

namespace {

constexpr int KeyRole = Qt::UserRole;

} // namespace

IconLib::IconLib(QWidget *owner, QLabel *drwBoard)
    : QDialog(owner), m_drwBoard(drwBoard), m_tabs(new QTabBar(this)), m_list(new QListWidget(this)),
      m_preview(new QLabel(this)), m_status(new QStatusBar(this))
{
    setObjectName(QStringLiteral("IconLib"));
    setWindowTitle(QStringLiteral("Tovra Icons"));
    m_tabs->setObjectName(QStringLiteral("TabSet"));
    m_list->setObjectName(QStringLiteral("lvw_icons"));
    m_preview->setObjectName(QStringLiteral("pic_icon"));
    m_status->setObjectName(QStringLiteral("st_status"));
    m_status->setSizeGripEnabled(false);
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(32, 32));
    m_list->setGridSize(QSize(56, 56));
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMinimumSize(10 * 56 + 24, 5 * 56 + 8);
    m_preview->setFixedSize(40, 40);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameShape(QFrame::Box);
    for (int set = 1; set <= SetCount; ++set) {
        const int tab = m_tabs->addTab(QString::number(set));
        m_tabs->setTabData(tab, QStringLiteral("T%1").arg(set));
    }
    auto *ok = new QPushButton(QStringLiteral("Do&ne"), this);
    ok->setObjectName(QStringLiteral("cb_ok"));
    auto *cancel = new QPushButton(QStringLiteral("C&lose"), this);
    cancel->setObjectName(QStringLiteral("cb_Cancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Icon Set"), this), 0, 0);
    grid->addWidget(m_tabs, 0, 1, 1, 3);
    grid->addWidget(m_list, 1, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Current Selection"), this), 2, 0);
    grid->addWidget(m_preview, 2, 1);
    grid->addWidget(ok, 2, 2);
    grid->addWidget(cancel, 2, 3);
    grid->addWidget(m_status, 3, 0, 1, 4);

    connect(m_tabs, &QTabBar::currentChanged, this,
            [this](int tab) { showSet(setOfKey(m_tabs->tabData(tab).toString())); });
    connect(m_list, &QListWidget::currentRowChanged, this, &IconLib::selectItem);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_drwBoard && !m_preview->pixmap().isNull()) {
            m_drwBoard->setPixmap(m_preview->pixmap());
            m_drwBoard->update();
        }
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showSet(1);
}

std::pair<int, int> IconLib::setRange(int set)
{
    set = qBound(1, set, SetCount);
    return {50 * set + 51, qMin(50 * set + 100, Last)};
}

int IconLib::setOfKey(const QString &key)
{
    const int set = key.mid(1).toInt();
    return set < 1 ? 1 : set;
}

IconImage IconLib::icon(int number)
{
    QImageReader reader(QStringLiteral(":/iconlib/%1.png").arg(number));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.size() != QSize(32, 32))
        image = image.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    IconImage result;
    result.colour = image.convertToFormat(QImage::Format_ARGB32);
    result.mask = QImage(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            result.mask.setPixel(x, y, qAlpha(result.colour.pixel(x, y)) ? 0xff000000 : 0xffffffff);
    result.hasAlpha = true;
    return result;
}

void IconLib::showSet(int set)
{
    m_list->clear();
    const auto [first, last] = setRange(set);
    QList<std::pair<int, QPixmap>> images;
    for (int number = first; number <= last; ++number) {
        m_status->showMessage(QStringLiteral("Processing Icon %1").arg(number));
        images.append({number, QPixmap::fromImage(icon(number).toImage())});
    }
    for (const auto &[number, pixmap] : images) {
        auto *item = new QListWidgetItem(QIcon(pixmap), QString::number(number), m_list);
        item->setData(KeyRole, QStringLiteral("I%1").arg(number));
    }
    if (m_list->count()) {
        // Selected quietly, so the status bar keeps the total.
        const QSignalBlocker quiet(m_list);
        m_list->setCurrentRow(0);
        m_preview->setPixmap(QPixmap::fromImage(icon(first).toImage()));
    }
    m_status->showMessage(QStringLiteral("Total Icons :  %1").arg(m_list->count()));
}

void IconLib::selectItem(int row)
{
    const QListWidgetItem *item = m_list->item(row);
    if (!item)
        return;
    m_preview->setPixmap(QPixmap::fromImage(icon(item->text().toInt()).toImage()));
    m_status->showMessage(QStringLiteral("Selected Icon No : ") + item->text());
}

} // namespace tovradocs::Internal
