#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tovradocs {

class ReferenceHost;

// "Options": the numbered settings of the practice that the library reads.
// Shown from the front desk; every value is written when the user presses OK.
class OptionsWindow : public QDialog
{
public:
    explicit OptionsWindow(std::shared_ptr<ReferenceHost> host, QWidget *parent = nullptr);

private:
    void load();
    void save();
    void chooseEditor();

    std::shared_ptr<ReferenceHost> m_host;
    QLineEdit *m_editor = nullptr;
    QSpinBox *m_thumbWidth = nullptr;
    QSpinBox *m_thumbHeight = nullptr;
    QCheckBox *m_includeIndex = nullptr;
    QComboBox *m_viewingMode = nullptr;
    QComboBox *m_extension = nullptr;
};

} // namespace tovradocs
