#pragma once

#include "component/result.h"

#include <QImage>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace tovradocs::Internal {

// Where illustration prints go. The default is the system's default printer
// or, when there is none, a PDF file the user names. A host or a test can
// route prints elsewhere (a preview, a known PDF file); a null printer means
// the user cancelled.
using IllustrationPrinterFactory = std::function<std::unique_ptr<QPrinter>(QWidget *parent)>;
void setIllustrationPrinterFactory(IllustrationPrinterFactory factory);

// Paints the picture at the page's top-left corner at its own size (pixels at
// 96 per inch), scaled down only when the page is smaller, as one print job.
// Fails with a message when the printer cannot start; a cancelled choice of
// printer is a failure with an empty message.
Outcome printIllustrationPicture(QWidget *parent, const QImage &picture);

} // namespace tovradocs::Internal
