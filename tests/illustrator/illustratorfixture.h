#pragma once

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "controls/drawing.h"
#include "controls/ilsformat.h"
#include "host/referencehost.h"
#include "illustrator/illustrationprinting.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QAction>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A reference host in a temporary folder, linked through a recording link, a
// scripted responder, and prints routed to a PDF file in the folder.
class IllustratorFixture
{
public:
    bool open()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        host = tovradocs::Testing::openTestHost(m_dir->path());
        if (!host)
            return false;
        link = std::make_shared<tovradocs::Testing::RecordingDataLink>(host);
        tovradocs::Internal::setHostLink(link, nullptr);
        responder = std::make_unique<tovradocs::Internal::ScriptedResponder>();
        tovradocs::Internal::DialogService::setResponder(responder.get());
        tovradocs::Internal::setIllustrationPrinterFactory([this](QWidget *) {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdfPath());
            printer->setPageSize(QPageSize(QPageSize::A4));
            printer->setPageMargins(QMarginsF());
            return printer;
        });
        return true;
    }

    void close()
    {
        tovradocs::Internal::setIllustrationPrinterFactory(nullptr);
        tovradocs::Internal::DialogService::setResponder(nullptr);
        responder.reset();
        tovradocs::Internal::clearHostLink();
        link.reset();
        host.reset();
        m_dir.reset();
    }

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString pdfPath() const { return path(QStringLiteral("print.pdf")); }

    // A drawing of one filled rectangle, saved as name.
    QString drawingFile(const QString &name, QColor fill, QSize canvas = QSize(640, 480)) const
    {
        tovradocs::Internal::Drawing d;
        d.canvas = canvas;
        tovradocs::Internal::DrawObject o;
        o.rect = QRectF(20, 30, 100, 60);
        o.fill = fill;
        d.objects << o;
        const QString file = path(name);
        tovradocs::Internal::saveIlsFile(file, d);
        return file;
    }

    static void trigger(QObject *window, const char *action)
    {
        tovradocs::Testing::child<QAction>(window, action)->trigger();
    }

    std::shared_ptr<tovradocs::ReferenceHost> host;
    std::shared_ptr<tovradocs::Testing::RecordingDataLink> link;
    std::unique_ptr<tovradocs::Internal::ScriptedResponder> responder;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
