#include "library/pathlabel.h"

#include <QPainter>
#include <QStyle>

namespace tovradocs::Internal {

PathLabel::PathLabel(QWidget *parent)
    : QLabel(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PathLabel::setPath(const QString &path)
{
    setText(path);
    setToolTip(path);
    update();
}

QSize PathLabel::sizeHint() const
{
    // A long path must not widen the dialog; it is elided instead.
    const QSize hint = QLabel::sizeHint();
    return {qMin(hint.width(), fontMetrics().averageCharWidth() * 40), hint.height()};
}

QSize PathLabel::minimumSizeHint() const
{
    const QSize hint = QLabel::minimumSizeHint();
    return {fontMetrics().averageCharWidth() * 12, hint.height()};
}

void PathLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    drawFrame(&p);
    const int inset = qMax(margin(), 3);
    const QRect area = contentsRect().adjusted(inset, 0, -inset, 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    p.setPen(palette().color(foregroundRole()));
    p.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}

} // namespace tovradocs::Internal
