#pragma once

#include <QDialog>

namespace tovradocs::Internal {

// Name, folder, type, size, dates and, for pictures, the pixel size of one file.
class FilePropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FilePropertiesDialog(const QString &fileName, QWidget *parent = nullptr);
};

} // namespace tovradocs::Internal
