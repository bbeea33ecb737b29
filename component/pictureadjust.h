#pragma once

#include "component/dicomimage.h"
#include "component/result.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTransform>

#include <array>

namespace tovradocs::Internal {

// What the user changed about how a picture is shown. The file itself is
// never touched; these are applied every time the picture is drawn.
struct Adjustments
{
    // Window in the picture's own values (modality values of a DICOM grey
    // picture, 0..255 otherwise). Width 0: the picture's own window.
    double windowCenter = 0;
    double windowWidth = 0;
    bool invert = false;
    double gamma = 1.0; // above 1 brightens the middle greys
    double sharpen = 0; // unsharp mask amount, 0 (off) to 3
    bool equalise = false; // contrast-limited adaptive histogram equalisation
    int quarterTurns = 0; // clockwise, 0..3
    bool flipHorizontal = false; // applied after the turn, as seen
    bool flipVertical = false;
    QRect crop; // in the file's pixels before turning; null: the whole picture

    bool isIdentity() const { return *this == Adjustments(); }
    bool operator==(const Adjustments &other) const = default;
};

// A mark on the overlay; points are in the file's pixels (before crop and
// turns), so marks stay on their anatomy whatever the adjustments.
struct OverlayItem
{
    enum Kind { Length, Angle, Text, Arrow, Freehand };
    Kind kind = Length;
    QList<QPointF> points; // Length, Arrow: 2; Angle: 3 (vertex in the middle); Text: 1
    QString text;
    bool operator==(const OverlayItem &other) const = default;
};

struct PictureState
{
    Adjustments adjust;
    QList<OverlayItem> overlay;
    double userMmPerPixel = 0; // from a line of known length; 0: none
    bool overlayHidden = false;

    bool isEmpty() const { return adjust.isIdentity() && overlay.isEmpty() && userMmPerPixel == 0; }
    bool operator==(const PictureState &other) const = default;
};

// Records as stored: the adjustments (with the user's calibration and the
// overlay's visibility) and the overlay, each a small JSON text.
QByteArray adjustmentsRecord(const PictureState &state);
QByteArray overlayRecord(const PictureState &state);
// A damaged record fails with a reason and leaves state as it was.
Outcome readAdjustmentsRecord(const QByteArray &record, PictureState &state);
Outcome readOverlayRecord(const QByteArray &record, PictureState &state);

// The picture a viewer adjusts: the grey values of a radiograph kept at full
// depth, else the decoded picture (8-bit grey or colour).
struct SourcePicture
{
    Dicom::GreyPixels grey; // values empty when image holds the picture
    QImage image;
    QSize fileSize; // pixels of the file, which crop and overlay refer to
    Dicom::PixelSpacing spacing;

    bool isDeepGrey() const { return !grey.values.empty(); }
    QSize size() const { return isDeepGrey() ? grey.size : image.size(); }
    bool isNull() const { return size().isEmpty(); }
};

// A valid box reduces while decoding when nothing needs the full size.
Result<SourcePicture> loadSourcePicture(const QString &path, QSize box = {});

// The picture's own window (the file's for a radiograph, the full range
// otherwise) and the range of values the window can move over.
struct WindowRange
{
    double center = 127.5;
    double width = 256;
    double minimum = 0;
    double maximum = 255;
};
WindowRange defaultWindow(const SourcePicture &source);

enum class WindowPreset { Enamel, DentineBone, SoftTissue };
// A preset placed on the picture's range: dense tissue is bright.
std::pair<double, double> presetWindow(WindowPreset preset, const SourcePicture &source);

// Output grey (0..255) of one value under a window, the DICOM linear
// function, inverted for MONOCHROME1, then the user's invert and gamma.
int windowedValue(double value, double center, double width, bool monochrome1, bool invert, double gamma);

// The grey values reduced to the shown size once, so that moving the window
// maps only what is on screen through a table.
struct ReducedGrey
{
    QSize size;
    std::vector<quint16> values;
    double offset = 0;
    bool monochrome1 = false;
};
ReducedGrey reduceGrey(const Dicom::GreyPixels &grey, const QRect &region, QSize size);
// Maps through a lookup table built for this window; Grayscale8.
QImage applyWindow(const ReducedGrey &reduced, double center, double width, bool invert, double gamma);

// Where the picture lands for a target: the crop (in source pixels) and the
// size before turning, fitted into target (invalid target: the crop's size).
struct ShownGeometry
{
    QRect region; // in the source's pixels
    QSize unturned; // the region reduced, before turning
    QSize shown; // after turning
    QTransform fileToShown; // file pixels to shown pixels
};
ShownGeometry shownGeometry(const Adjustments &adjust, QSize fileSize, QSize sourceSize, QSize target);

// Tone, sharpness and equalisation on a shown-size picture.
QImage equalise(const QImage &picture);
QImage unsharp(const QImage &picture, double amount);

// Calibration of lengths: the user's line wins over the file's spacing.
struct Calibration
{
    enum Source { None, PixelSpacing, ImagerPixelSpacing, User };
    Source source = None;
    double mmPerPixelX = 0;
    double mmPerPixelY = 0;
};
Calibration calibrationFor(const PictureState &state, const Dicom::PixelSpacing &spacing);
// "25.0 mm (Pixel Spacing)", "12.3 mm (user calibration)", "250 px".
QString lengthText(QPointF from, QPointF to, const Calibration &calibration);
double lengthMm(QPointF from, QPointF to, const Calibration &calibration); // -1 uncalibrated
QString angleText(QPointF a, QPointF vertex, QPointF b);
// mm per pixel from a line drawn over an object of known length; a failure
// for a line of no length or a length that is not positive.
Result<double> userCalibration(QPointF from, QPointF to, double millimetres);

// Draws the overlay over a shown picture (which must be in a painter's format).
void paintOverlay(QImage &shown, const PictureState &state, const QTransform &fileToShown,
                  const Calibration &calibration);

// The steps of renderPicture, for a viewer that keeps the reduced picture
// between updates: the base at the shown size before tone (8-bit or colour;
// null for deep grey), its tone, and what follows tone.
QImage reducedBase(const SourcePicture &source, const ShownGeometry &geometry);
QImage toneBase(const QImage &base, const Adjustments &adjust);
QImage finishPicture(QImage toned, const PictureState &state, const ShownGeometry &geometry,
                     const Calibration &calibration, bool withOverlay);

// The whole chain on a loaded source: crop, reduce to fit target, window,
// gamma, equalisation, sharpening, turn and flip, and the overlay unless
// withOverlay is false or the user hid it. RGB32 or Grayscale8.
QImage renderPicture(const SourcePicture &source, const PictureState &state, QSize target,
                     bool withOverlay = true);

} // namespace tovradocs::Internal
