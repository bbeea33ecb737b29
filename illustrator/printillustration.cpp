#include "printillustration.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "controls/objdraw.h"
#include "illustrator/illustrationprinting.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

const QString PrintIllustration::kWindowName = QStringLiteral("PrintIllustration");

PrintIllustration::PrintIllustration(QWidget *parent) : QDialog(parent), m_draw(new ObjDraw(this))
{
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("Print Illustration"));
    resize(900, 700);
    m_draw->setObjectName(QStringLiteral("objDrawer"));
    m_draw->setInteractive(false); // shown, not edited
    auto *print = new QPushButton(QStringLiteral("Print"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    connect(print, &QPushButton::clicked, this, &PrintIllustration::print);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_draw, 1);
    layout->addWidget(print, 0, Qt::AlignRight);
}

int PrintIllustration::ShowIllustrationPrint(const QString &IlsFile, qint32, qint32)
{
    if (doesFileExist(IlsFile)) {
        const Outcome loaded = m_draw->loadDrawing(IlsFile);
        if (!loaded)
            DialogService::message(this, loaded.error(), windowTitle(), Buttons::Ok, Severity::Warning);
    } else {
        DialogService::message(this, QStringLiteral("Illustration File : ") + IlsFile + QStringLiteral(" not found !"),
                               windowTitle());
    }
    DialogService::showModal(this);
    return 0;
}

void PrintIllustration::print()
{
    const Outcome printed = printIllustrationPicture(this, m_draw->drawingPicture());
    if (printed)
        DialogService::message(this, QStringLiteral("Illustration  routed to printer !"), windowTitle());
    else if (!printed.error().isEmpty())
        DialogService::message(this, printed.error(), windowTitle(), Buttons::Ok, Severity::Critical);
}

} // namespace tovradocs::Internal
