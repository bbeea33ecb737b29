#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QScrollBar;

namespace tovradocs::Internal {

class IconEditor;
class PaletteBox;

// Edits the editor's palette entries by red, green and blue; stays open
// beside the editor and shares its palette and selected entry.
class ColorPalette : public QDialog
{
public:
    static constexpr int WindowId = 230;

    explicit ColorPalette(IconEditor *editor);

    void redrawPalette();
    void reset();   // the selected entry into the scroll bars
    void set();     // the scroll bars into the selected entry

private:
    void showParts();
    void typed(int part);
    bool eventFilter(QObject *watched, QEvent *event) override;

    IconEditor *m_editor;
    PaletteBox *m_palette = nullptr;
    QScrollBar *m_bars[3] = {};
    QLineEdit *m_texts[3] = {};
    QLabel *m_parts[3] = {};
    QLabel *m_selected = nullptr;
    QLabel *m_nearest = nullptr;
};

} // namespace tovradocs::Internal
