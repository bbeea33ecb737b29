#pragma once

#include "component/windowutils.h"

#include <QDialog>

class QComboBox;

namespace tovradocs::Internal {

// Where the tutorial videos live: the folder the user named once, kept in the
// user's settings (organisation and application "Kelmoro", group "Tovra", key
// "QX094"). Empty when never set.
QString tutorialFolder();
void setTutorialFolder(const QString &folder);

// "Video Tutorials": the tutorial videos of the list database in "cboVideos";
// choosing one plays it in the video player. Modeless; deletes itself when
// closed.
class TovraTutor : public QDialog, public HelpIdentified
{
    Q_OBJECT

public:
    explicit TovraTutor(QWidget *owner = nullptr);
    ~TovraTutor() override;

    // Shows the window and, when the list has items, plays the one with code.
    void ShowTutorial(qint32 code);
    qint32 GetWindowID() const override { return 205; }

    QComboBox *videoList() const { return m_videos; }

private:
    void loadList();
    void videoChosen(int index);

    QComboBox *m_videos;
};

} // namespace tovradocs::Internal
