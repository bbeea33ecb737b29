#pragma once

#include <QDialog>

namespace tovradocs::Internal {

class ObjDraw;

// Shows one illustration file read-only and prints it.
class PrintIllustration : public QDialog
{
    Q_OBJECT

public:
    static const QString kWindowName;

    explicit PrintIllustration(QWidget *parent = nullptr);

    // Loads the file (or says it is missing) and shows the window modally. Returns 0.
    int ShowIllustrationPrint(const QString &IlsFile, qint32 DocID, qint32 IllustrationID);
    ObjDraw *drawing() const { return m_draw; }

private:
    void print();

    ObjDraw *m_draw;
};

} // namespace tovradocs::Internal
