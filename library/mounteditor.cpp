#include "library/mounteditor.h"

#include "component/dialogservice.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace {

enum Column { ColX, ColY, ColWidth, ColHeight, ColTeeth, ColLabel, ColumnCount };

bool isFdiTooth(int number)
{
    const int quadrant = number / 10;
    const int tooth = number % 10;
    return (quadrant >= 1 && quadrant <= 4 && tooth >= 1 && tooth <= 8)
           || (quadrant >= 5 && quadrant <= 8 && tooth >= 1 && tooth <= 5);
}

} // namespace

std::optional<QList<qint32>> MountEditor::parseTeeth(const QString &text)
{
    QList<qint32> codes;
    static const QRegularExpression range(QStringLiteral("^\\s*(\\d{2})\\s*(?:-\\s*(\\d{2}))?\\s*$"));
    for (const QString &part : text.split(QRegularExpression(QStringLiteral("[/,;]")), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        const QRegularExpressionMatch match = range.match(part);
        if (!match.hasMatch())
            return std::nullopt;
        const int from = match.captured(1).toInt();
        const int to = match.captured(2).isEmpty() ? from : match.captured(2).toInt();
        if (!isFdiTooth(from) || !isFdiTooth(to))
            return std::nullopt;
        codes << from * 100 + to;
    }
    return codes;
}

QString MountEditor::teethText(const QList<qint32> &codes)
{
    QStringList parts;
    for (qint32 code : codes)
        parts << (code / 100 == code % 100 ? QString::number(code / 100)
                                           : QStringLiteral("%1-%2").arg(code / 100).arg(code % 100));
    return parts.join(QStringLiteral(" / "));
}

MountEditor::MountEditor(const Mount &mount, QWidget *parent) : QDialog(parent), m_original(mount)
{
    setObjectName(QStringLiteral("MountEditor"));
    setWindowTitle(QStringLiteral("Mount Layout"));
    m_name = new QLineEdit(mount.name, this);
    m_name->setObjectName(QStringLiteral("txtName"));
    m_columns = new QSpinBox(this);
    m_columns->setObjectName(QStringLiteral("txtColumns"));
    m_columns->setRange(1, 200);
    m_columns->setValue(mount.grid.width());
    m_rows = new QSpinBox(this);
    m_rows->setObjectName(QStringLiteral("txtRows"));
    m_rows->setRange(1, 200);
    m_rows->setValue(mount.grid.height());

    m_slots = new QTableWidget(0, ColumnCount, this);
    m_slots->setObjectName(QStringLiteral("grdSlots"));
    m_slots->setHorizontalHeaderLabels({QStringLiteral("Column"), QStringLiteral("Row"), QStringLiteral("Width"),
                                        QStringLiteral("Height"), QStringLiteral("Teeth (FDI)"),
                                        QStringLiteral("Label")});
    m_slots->horizontalHeader()->setSectionResizeMode(ColTeeth, QHeaderView::Stretch);
    m_slots->horizontalHeader()->setSectionResizeMode(ColLabel, QHeaderView::Stretch);
    for (const MountSlot &slot : mount.slots)
        addRow(slot);

    auto *add = new QPushButton(QStringLiteral("&Add Slot"), this);
    add->setObjectName(QStringLiteral("cmdAddSlot"));
    add->setAutoDefault(false);
    auto *remove = new QPushButton(QStringLiteral("&Remove Slot"), this);
    remove->setObjectName(QStringLiteral("cmdRemoveSlot"));
    remove->setAutoDefault(false);
    auto *saveAs = new QPushButton(QStringLiteral("Save as &Template"), this);
    saveAs->setObjectName(QStringLiteral("cmdSaveTemplate"));
    saveAs->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, [this] {
        addRow(MountSlot{QRect(0, 0, std::min(4, m_columns->value()), std::min(3, m_rows->value())), {}, {}, 0});
        m_slots->setCurrentCell(m_slots->rowCount() - 1, ColTeeth);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_slots->currentRow() >= 0)
            m_slots->removeRow(m_slots->currentRow());
    });
    connect(saveAs, &QPushButton::clicked, this, [this] { saveTemplate(); });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), m_name);
    auto *grid = new QHBoxLayout;
    grid->addWidget(m_columns);
    grid->addWidget(new QLabel(QStringLiteral("columns by"), this));
    grid->addWidget(m_rows);
    grid->addWidget(new QLabel(QStringLiteral("rows"), this));
    grid->addStretch(1);
    auto *gridLabel = new QLabel(QStringLiteral("&Grid:"), this);
    gridLabel->setBuddy(m_columns);
    form->addRow(gridLabel, grid);
    auto *row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch(1);
    row->addWidget(saveAs);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_slots, 1);
    layout->addLayout(row);
    layout->addWidget(buttons);
    resize(640, 460);
}

void MountEditor::addRow(const MountSlot &slot)
{
    const int row = m_slots->rowCount();
    m_slots->insertRow(row);
    const QStringList values = {QString::number(slot.cell.x()), QString::number(slot.cell.y()),
                                QString::number(slot.cell.width()), QString::number(slot.cell.height()),
                                teethText(slot.teeth), slot.label};
    for (int c = 0; c < ColumnCount; ++c)
        m_slots->setItem(row, c, new QTableWidgetItem(values.at(c)));
    // The picture travels with its row, so removing a row above keeps the rest.
    m_slots->item(row, ColX)->setData(Qt::UserRole, slot.entryCode);
}

Result<Mount> MountEditor::collect() const
{
    Mount mount;
    mount.name = m_name->text().trimmed();
    if (mount.name.isEmpty())
        return Result<Mount>::failure(QStringLiteral("Please give the mount a name."));
    mount.grid = QSize(m_columns->value(), m_rows->value());
    const QRect bounds(QPoint(0, 0), mount.grid);
    for (int r = 0; r < m_slots->rowCount(); ++r) {
        auto number = [&](int c) {
            bool ok = false;
            const int value = m_slots->item(r, c) ? m_slots->item(r, c)->text().trimmed().toInt(&ok) : 0;
            return ok ? value : -1;
        };
        MountSlot slot;
        slot.cell = QRect(number(ColX), number(ColY), number(ColWidth), number(ColHeight));
        if (slot.cell.x() < 0 || slot.cell.y() < 0 || slot.cell.width() < 1 || slot.cell.height() < 1
            || !bounds.contains(slot.cell))
            return Result<Mount>::failure(
                QStringLiteral("Slot %1 must lie within the grid of %2 columns and %3 rows.")
                    .arg(r + 1)
                    .arg(mount.grid.width())
                    .arg(mount.grid.height()));
        const auto teeth = parseTeeth(m_slots->item(r, ColTeeth) ? m_slots->item(r, ColTeeth)->text() : QString());
        if (!teeth)
            return Result<Mount>::failure(
                QStringLiteral("Slot %1: write the teeth as FDI numbers, for example 18-16 / 48-46.").arg(r + 1));
        slot.teeth = *teeth;
        slot.label = m_slots->item(r, ColLabel) ? m_slots->item(r, ColLabel)->text().trimmed() : QString();
        slot.entryCode = m_slots->item(r, ColX)->data(Qt::UserRole).toInt();
        mount.slots << slot;
    }
    if (mount.slots.isEmpty())
        return Result<Mount>::failure(QStringLiteral("A mount needs at least one slot."));
    return mount;
}

void MountEditor::saveTemplate()
{
    const Result<Mount> mount = collect();
    if (!mount) {
        DialogService::message(this, mount.error(), QString(), Buttons::Ok, Severity::Warning);
        return;
    }
    const Outcome saved = saveMountTemplate(*mount);
    DialogService::message(this,
                           saved ? QStringLiteral("New mounts can now be made from \"%1\".").arg(mount->name)
                                 : saved.error(),
                           QString(), Buttons::Ok, saved ? Severity::Information : Severity::Warning);
}

void MountEditor::done(int result)
{
    if (result == QDialog::Accepted) {
        const Result<Mount> mount = collect();
        if (!mount) {
            DialogService::message(this, mount.error(), QString(), Buttons::Ok, Severity::Warning);
            return;
        }
        m_result = *mount;
    }
    QDialog::done(result);
}

} // namespace tovradocs::Internal
