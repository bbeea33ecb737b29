#pragma once

#include <QLabel>

namespace tovradocs::Internal {

// A sunken read-only field for a name or a path. text() keeps the whole value;
// what does not fit is elided in the middle, where paths differ least, and the
// whole value is in the tool tip.
class PathLabel : public QLabel
{
    Q_OBJECT

public:
    explicit PathLabel(QWidget *parent = nullptr);

    void setPath(const QString &path);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace tovradocs::Internal
