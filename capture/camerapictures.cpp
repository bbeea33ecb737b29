#include "capture/camerapictures.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QImageReader>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

BatchImportHook &batchImportHook()
{
    static BatchImportHook hook;
    return hook;
}

CameraPictures::CameraPictures(std::shared_ptr<CameraDevice> camera, QWidget *parent)
    : QDialog(parent)
    , m_camera(std::move(camera))
{
    setObjectName(QStringLiteral("frmCameraPictures"));
    setWindowTitle(QStringLiteral("Pictures on the Camera"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstPictures"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(128, 96));
    m_list->setGridSize(QSize(150, 130));
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMinimumSize(640, 400);
    auto *all = new QPushButton(QStringLiteral("Select &All"), this);
    all->setObjectName(QStringLiteral("cmdSelectAll"));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("&Download"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addButton(all, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(all, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < m_list->count(); ++i)
            m_list->item(i)->setCheckState(Qt::Checked);
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    for (const CameraFile &file : m_camera->pictures()) {
        const auto bytes = m_camera->download(file);
        if (!bytes)
            continue; // unreadable on the card: nothing to offer
        QBuffer buffer;
        buffer.setData(*bytes);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(m_list->iconSize(), Qt::KeepAspectRatio));
        const QImage thumb = reader.read();
        if (thumb.isNull())
            continue; // not a picture we can store
        auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumb)), file.name, m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setToolTip(file.folder + u'/' + file.name);
        m_files.append(file);
        m_data.append(*bytes);
    }
}

QList<CameraFile> CameraPictures::chosen() const
{
    QList<CameraFile> files;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->checkState() == Qt::Checked)
            files.append(m_files.at(i));
    return files;
}

QByteArray CameraPictures::contents(const CameraFile &file) const
{
    for (int i = 0; i < m_files.size(); ++i)
        if (m_files.at(i).folder == file.folder && m_files.at(i).name == file.name)
            return m_data.at(i);
    return {};
}

} // namespace tovradocs::Internal
