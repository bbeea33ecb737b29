#pragma once

#include <QDialog>
#include <QString>
#include <QVariant>

#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace tovradocs {
class Recordset;
}

namespace tovradocs::Internal {

class PathLabel;
class TovraCombo;

// "Library Entry Details": the one place where the caption, date, category
// and slide-show settings of a single entry are typed in, for a new entry of
// a file already in the library or for an existing one. A new entry takes its
// key only when it is saved, so closing without saving leaves nothing behind.
// Created for one call and shown modally; UI thread only.
class EntryDetails : public QDialog
{
    Q_OBJECT

public:
    explicit EntryDetails(QWidget *owner = nullptr);
    ~EntryDetails() override;

    // The new row's Entry_Code, or 0 when the user closed without saving;
    // Description receives the saved caption ("" when not saved).
    qint32 AddLibraryEntry(qint16 EntryType, const QString &BookName, qint32 BookCode,
                           const QString &FileName, QString &Description, QWidget *Owner);
    // The saved caption, or "" when the user closed without saving.
    QString EditLibraryEntry(qint32 EntryCode, const QString &BookName, QWidget *Owner);

    qint32 entryCode() const { return m_entryCode; }

protected:
    void done(int result) override;

private:
    void buildControls();
    void focusOnAlt(Qt::Key key, QWidget *field);
    void loadWindow();
    bool prepareRow();
    void loadControls();
    void showDuration(int seconds);
    void chooseSoundFile();
    void save();
    bool writeRow();
    bool hasCommentsField() const;
    void releaseRecordset();
    void adoptOwner(QWidget *owner);
    int runModal(QWidget *owner);

    PathLabel *m_lblBookName = nullptr;
    PathLabel *m_lblFileName = nullptr;
    QLineEdit *m_txtDescription = nullptr;
    QDateEdit *m_dtpEntryDate = nullptr;
    TovraCombo *m_fcDocCategory = nullptr;
    QComboBox *m_cboTransition = nullptr;
    QScrollBar *m_hsbOnScreenTime = nullptr;
    QLabel *m_lblDuration = nullptr;
    QCheckBox *m_chkPlaySound = nullptr;
    QLineEdit *m_txtSndFile = nullptr;
    QPushButton *m_cmdSndFile = nullptr;
    QPlainTextEdit *m_txtComments = nullptr;
    QPushButton *m_cbOK = nullptr;
    QPushButton *m_cbClose = nullptr;

    std::unique_ptr<Recordset> m_recordset;
    qint32 m_entryCode = 0;
    qint16 m_entryType = 0;
    qint32 m_bookCode = 0;
    QString m_description;
    // Stored values no list item stands for; written back unchanged.
    QVariant m_unlistedTransition;
    // What the row stored for "no transition" (0, or the host's own row).
    QVariant m_noTransitionStored;
    QVariant m_unlistedCategory;
    bool m_newRow = false;
    bool m_loaded = false;
    bool m_saved = false;
};

} // namespace tovradocs::Internal
