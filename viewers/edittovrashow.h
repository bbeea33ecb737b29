#pragma once

#include "component/windowutils.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace tovradocs::Internal {

// "Edit Tovra Show": a book's presentation settings, stored in its Books row.
// Each control carries the name of the setting it edits (txtDescription,
// lblStageColor, chkRepeat, cbo3DFont, hsbDropX, ...). Modal.
class EditTovraShow : public QDialog, public HelpIdentified
{
    Q_OBJECT

public:
    explicit EditTovraShow(QWidget *parent = nullptr);
    ~EditTovraShow() override;

    // Fills the controls from the book's row and shows the dialog modally.
    int EditDetails(qint32 bookCode, QWidget *parentWnd);
    qint32 GetWindowID() const override { return 204; }

    // The dialog's buttons, for the key handler and tests.
    void save();     // cbOK
    void pickFont(); // cbFont
    void pickColor(QLabel *label);

    static QString formatSize(double value);  // "#########.00"
    static QString formatWhole(double value); // "##########"

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void load();
    QLabel *colorLabel(const char *name);
    static qint32 colorOf(const QLabel *label);
    static void setColor(QLabel *label, qint32 color);

    qint32 m_bookCode = 0;
    QLineEdit *m_description;
    QList<QLabel *> m_colors; // Stage, Fore, Back, Highlight, Shadow
    QLabel *m_fontName;
    QLineEdit *m_fontSize;
    QCheckBox *m_bold;
    QCheckBox *m_italic;
    QCheckBox *m_underline;
    QComboBox *m_font3D;
    QComboBox *m_alignment;
    QList<QLineEdit *> m_image; // left, top, width, height
    QList<QLineEdit *> m_text;
    QScrollBar *m_dropX;
    QScrollBar *m_dropY;
    QScrollBar *m_shadowDepth;
    QCheckBox *m_repeat;
    QCheckBox *m_speak;
    QCheckBox *m_viewStartPage;
    QCheckBox *m_clickToProceed;
    QLineEdit *m_fontHolder; // Text1: the font dialog works on it
};

} // namespace tovradocs::Internal
