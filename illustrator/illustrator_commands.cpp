// The illustrator's edit, zoom, tool, colour, font and status handling.
#include "illustrator.h"

#include "component/dialogservice.h"
#include "component/imageloader.h"
#include "controls/colorpal.h"
#include "controls/ilsformat.h"
#include "controls/objdraw.h"
#include "illustrator/picturefit.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolBar>

#include <cmath>

namespace tovradocs::Internal {

namespace {

QString kindText(const DrawObject &o)
{
    const bool even = qAbs(o.rect.width()) == qAbs(o.rect.height());
    switch (o.kind) {
    case ShapeKind::Line: return QStringLiteral("Line");
    case ShapeKind::Arc: return QStringLiteral("Arc");
    case ShapeKind::Rectangle:
    case ShapeKind::RoundRectangle: return even ? QStringLiteral("Square") : QStringLiteral("Rectangle");
    case ShapeKind::Ellipse: return even ? QStringLiteral("Circle") : QStringLiteral("Ellipse");
    case ShapeKind::Text: return QStringLiteral("Text");
    case ShapeKind::Picture: return QStringLiteral("Image");
    case ShapeKind::Polygon:
    case ShapeKind::Star: return QStringLiteral("Polygon");
    case ShapeKind::Group: return QStringLiteral("Group");
    }
    return QString();
}

} // namespace

void Illustrator::prepareEditMenu()
{
    const bool selected = m_draw->selectedIndex() >= 0;
    for (int index : {3, 4, 7, 11, 12})
        m_editMenu->findChild<QAction *>(QStringLiteral("SmnuEdit_%1").arg(index))->setEnabled(selected);
    m_editMenu->findChild<QAction *>(QStringLiteral("SmnuEdit_5"))->setEnabled(m_draw->canPaste());
}

void Illustrator::setZoom(qreal factor)
{
    m_draw->setZoomFactor(factor);
    showZoom(m_draw->zoomFactor());
}

void Illustrator::showZoom(qreal factor)
{
    const int percent = qRound(factor * 100);
    m_zoomMenu->setTitle(QStringLiteral("Zoom (") + QString::number(percent) + QStringLiteral("%)"));
    for (QAction *item : std::as_const(m_zoomItems))
        item->setChecked(item->text() == QString::number(percent) + QLatin1Char('%'));
}

void Illustrator::chooseTool(int tool)
{
    const auto t = ObjDraw::Tool(tool);
    if (t == ObjDraw::Tool::Ellipse)
        setStatus(1, QStringLiteral("Press and Hold \"Ctrl\" Button to make a perfect Circle"));
    else if (t == ObjDraw::Tool::Polygon || t == ObjDraw::Tool::Star)
        setStatus(1, QStringLiteral("Press and Hold \"Ctrl\" Button to make a perfect Polygon"));
    if (t == ObjDraw::Tool::Picture) {
        insertPictureFile();
        m_draw->setTool(ObjDraw::Tool::Select);
        m_tools->actions().first()->setChecked(true);
        return;
    }
    m_draw->setTool(t);
}

void Illustrator::insertPictureFile()
{
    const QString path = DialogService::openFile(
        this, QStringLiteral("Import Image File"),
        QStringLiteral("All Picture files (*.jpg *.bmp *.gif *.ico *.cur *.dib *.wmf *.emf)"));
    if (path.isEmpty())
        return;
    // Decoded straight at the size it is shown, so a huge photo never sits in memory whole.
    const Result<QSize> size = imageSize(path);
    ImageLoadOptions options;
    if (size)
        options.scaledTo = insertionSize(*size);
    const Result<QImage> picture = loadImage(path, options);
    if (!picture) {
        DialogService::message(this, picture.error(), windowTitle(), Buttons::Ok, Severity::Warning);
        return;
    }
    insertFitted(*picture, size ? *size : picture->size(), nullptr);
}

QSize Illustrator::insertionSize(QSize original) const
{
    const QSize shown
        = fitPicture(original, QSize(m_draw->canvasWidth(), m_draw->canvasHeight())).size();
    return storedPictureSize(shown, IlsLimits().maxPicturePixels);
}

bool Illustrator::insertFitted(const QImage &picture, QSize original, const QPoint *at)
{
    if (picture.isNull())
        return false;
    if ((original.width() > original.height()) != (picture.width() > picture.height()))
        original.transpose(); // turned by its EXIF orientation while loading
    QRect where = fitPicture(original, QSize(m_draw->canvasWidth(), m_draw->canvasHeight()));
    if (at)
        where.moveTopLeft(*at);
    // Held within what a drawing file may hold, so every saved drawing opens again.
    const IlsLimits limits;
    const QSize stored = storedPictureSize(where.size(), limits.maxPicturePixels);
    const qint64 held = picturePixels(m_draw->drawing().objects);
    if (held + qint64(stored.width()) * stored.height() > limits.maxTotalPixels) {
        DialogService::message(
            this,
            QStringLiteral("The picture cannot be inserted: the drawing's pictures would hold "
                           "more than %1, more than a drawing can hold. Remove a picture "
                           "first, or insert a smaller one.")
                .arg(pixelCountText(limits.maxTotalPixels)),
            windowTitle(), Buttons::Ok, Severity::Warning);
        return false;
    }
    const QImage shown = picture.size() == stored
        ? picture
        : picture.scaled(stored, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_draw->insertPicture(shown, where);
    return true;
}

void Illustrator::showObjectInfo()
{
    const std::optional<DrawObject> o = m_draw->selectedObject();
    if (!o)
        return;
    const QRect r = o->rect.toRect();
    setStatus(1, kindText(*o) + QStringLiteral("   Pos. X:") + QString::number(r.x()) + QStringLiteral("  Y:")
                     + QString::number(r.y()) + QStringLiteral("   Size W:") + QString::number(qAbs(r.width()))
                     + QStringLiteral("  H:") + QString::number(qAbs(r.height())) + QStringLiteral(" "));
}

void Illustrator::fillPanels()
{
    const std::optional<DrawObject> o = m_draw->selectedObject();
    if (!o)
        return;
    m_filling = true;
    m_border->setValue(o->borderWidth);
    m_fill->setCurrentIndex(int(o->fillStyle));
    m_points->setValue(o->points);
    m_round->setValue(o->roundSize);
    qreal turn = std::fmod(o->rotation, 360.0);
    if (turn > 180)
        turn -= 360;
    else if (turn < -180)
        turn += 360;
    m_rotation->setValue(qRound(turn));
    m_colors[0] = o->border;
    m_colors[1] = o->fill;
    if (m_colorTarget < 2)
        setEditColor(m_colors[m_colorTarget]);
    if (o->kind == ShapeKind::Text) {
        m_fontName->setCurrentText(o->fontFamily);
        m_fontSize->setCurrentText(QString::number(o->fontSize));
        auto button = [this](const char *key) { return m_toolbars[0]->findChild<QAction *>(QLatin1String(key)); };
        button("Bold")->setChecked(o->bold);
        button("Italic")->setChecked(o->italic);
        button("Underline")->setChecked(o->underline);
        button("Strikethru")->setChecked(o->strikeOut);
        button("TextLeft")->setChecked(o->align == TextAlign::Left);
        button("TextCenter")->setChecked(o->align == TextAlign::Center);
        button("TextRight")->setChecked(o->align == TextAlign::Right);
    }
    m_filling = false;
}

void Illustrator::chooseColorTarget(int index)
{
    m_colorTarget = index;
    if (index == 2)
        m_colors[2] = m_draw->backColor();
    const bool filling = std::exchange(m_filling, true);
    setEditColor(m_colors[index]);
    m_filling = filling;
}

void Illustrator::setEditColor(const QColor &color)
{
    const int values[] = {color.red(), color.green(), color.blue()};
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker block(m_colorBars[i]);
        m_colorBars[i]->setValue(values[i]);
        m_colorTexts[i]->setText(QString::number(values[i]));
    }
    applyColor();
}

void Illustrator::applyColor()
{
    const QColor color(m_colorBars[0]->value(), m_colorBars[1]->value(), m_colorBars[2]->value());
    QPalette palette = m_colorSwatch->palette();
    palette.setColor(QPalette::Window, color);
    m_colorSwatch->setPalette(palette);
    m_colors[m_colorTarget] = color;
    QPixmap swatch(14, 14);
    swatch.fill(color);
    m_colorTargets[m_colorTarget]->setIcon(swatch);
    if (m_filling)
        return;
    switch (m_colorTarget) {
    case 0: m_draw->setObjectProperty(ObjDraw::Property::BorderColor, color); break;
    case 1: m_draw->setObjectProperty(ObjDraw::Property::FillColor, color); break;
    default: m_draw->setBackColor(color); break;
    }
}

void Illustrator::loadPalette()
{
    const QString path = DialogService::openFile(this, QStringLiteral("Open Palette"), QStringLiteral("Palette (*.pal)"));
    if (path.isEmpty())
        return;
    const Outcome loaded = m_pal->loadPalette(path);
    if (!loaded)
        DialogService::message(this, loaded.error(), windowTitle(), Buttons::Ok, Severity::Warning);
}

void Illustrator::fontChosen()
{
    if (m_filling || !m_draw)
        return;
    const std::optional<DrawObject> o = m_draw->selectedObject();
    if (!o || o->kind != ShapeKind::Text)
        return;
    bool ok = false;
    const qreal size = m_fontSize->currentText().toDouble(&ok);
    if (o->fontFamily != m_fontName->currentText() && !m_fontName->currentText().isEmpty())
        m_draw->setObjectProperty(ObjDraw::Property::FontName, m_fontName->currentText());
    if (ok && size >= 1 && size != o->fontSize)
        m_draw->setObjectProperty(ObjDraw::Property::FontSize, size);
}

} // namespace tovradocs::Internal
