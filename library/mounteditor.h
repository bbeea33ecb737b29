#pragma once

#include "component/mount.h"

#include <QDialog>

class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace tovradocs::Internal {

// Changes a mount's layout: its name, grid and slots, each slot's place and
// the teeth it shows (FDI ranges such as "18-16 / 48-46"), and saves the
// layout as a template for new mounts. Pictures stay in the slots they were in.
class MountEditor : public QDialog
{
public:
    explicit MountEditor(const Mount &mount, QWidget *parent = nullptr);

    // The layout as edited; valid once the dialog was accepted.
    Mount mount() const { return m_result; }

    // "18-16 / 48-46" to {1816, 4846}; nullopt when a tooth is no FDI tooth.
    static std::optional<QList<qint32>> parseTeeth(const QString &text);
    static QString teethText(const QList<qint32> &codes);

    void done(int result) override;

private:
    void addRow(const MountSlot &slot);
    // The layout in the fields, or a message naming what is wrong.
    Result<Mount> collect() const;
    void saveTemplate();

    Mount m_original;
    Mount m_result;
    QLineEdit *m_name = nullptr;
    QSpinBox *m_columns = nullptr;
    QSpinBox *m_rows = nullptr;
    QTableWidget *m_slots = nullptr;
};

} // namespace tovradocs::Internal
