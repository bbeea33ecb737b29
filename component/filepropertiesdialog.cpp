#include "component/filepropertiesdialog.h"

#include "component/filetypes.h"
#include "component/imageloader.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace {

QString viewerKindText(qint32 kind)
{
    switch (kind) {
    case 1: return QStringLiteral("Picture");
    case 2: return QStringLiteral("Video");
    case 3: return QStringLiteral("Web page");
    case 4: return QStringLiteral("Text document");
    case 5: return QStringLiteral("PDF document");
    case 6: return QStringLiteral("Shockwave movie");
    case 7: return QStringLiteral("Word processor document");
    case 8: return QStringLiteral("Spreadsheet");
    case 9: return QStringLiteral("Presentation");
    case 100: return QStringLiteral("Picture or model");
    default: return QStringLiteral("File");
    }
}

QString sizeText(qint64 bytes)
{
    const QLocale locale;
    return locale.formattedDataSize(bytes) + QStringLiteral(" (") + locale.toString(bytes)
           + QStringLiteral(" bytes)");
}

} // namespace

FilePropertiesDialog::FilePropertiesDialog(const QString &fileName, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FileProperties"));
    setWindowTitle(QStringLiteral("Properties"));
    auto *form = new QFormLayout;

    QString path = fileName.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(path);
    const QString ext = fileExtension(path);
    const bool exists = info.exists();
    const QLocale locale;

    QString type = viewerKindText(fileViewer(ext));
    if (!ext.isEmpty())
        type += QStringLiteral(" (") + ext + QLatin1Char(')');

    auto rowLayout = [&](const QString &caption, const QString &name, const QString &text) {
        auto *value = new QLabel(text, this);
        value->setObjectName(name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, value);
        return value;
    };
    rowLayout(QStringLiteral("Name:"), QStringLiteral("lblName"), info.fileName());
    rowLayout(QStringLiteral("Folder:"), QStringLiteral("lblFolder"),
              QDir::toNativeSeparators(info.absolutePath()));
    rowLayout(QStringLiteral("Type:"), QStringLiteral("lblType"), type);
    if (!exists) {
        rowLayout(QStringLiteral("Size:"), QStringLiteral("lblSize"),
                  QStringLiteral("The file does not exist."));
    } else {
        rowLayout(QStringLiteral("Size:"), QStringLiteral("lblSize"), sizeText(info.size()));
        const QDateTime created = info.birthTime().isValid() ? info.birthTime()
                                                              : info.metadataChangeTime();
        rowLayout(QStringLiteral("Created:"), QStringLiteral("lblCreated"),
                  locale.toString(created, QLocale::ShortFormat));
        rowLayout(QStringLiteral("Modified:"), QStringLiteral("lblModified"),
                  locale.toString(info.lastModified(), QLocale::ShortFormat));
        // The header is enough for the dimensions; a large radiograph is not decoded.
        const auto size = imageSize(path);
        if (size.ok()) {
            rowLayout(QStringLiteral("Dimensions:"), QStringLiteral("lblDimensions"),
                      QStringLiteral("%1 x %2 pixels").arg(size->width()).arg(size->height()));
        }
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace tovradocs::Internal
