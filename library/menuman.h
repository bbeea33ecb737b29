#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QAction;
class QMenu;

namespace tovradocs::Internal {

class MenuTarget;

// Owns the popup menus shown over a library page or a viewer's picture and
// answers their commands by calling back into the window that opened them.
// Invisible; lives as a child of that window.
class MenuMan : public QWidget
{
    Q_OBJECT

public:
    enum LibItem {
        ViewItem = 0,
        ViewFullScreenItem = 1,
        CopyItem = 3,
        SaveAsItem = 4,
        EmailItem = 5,
        PrintItem = 6,
        PrintBookItem = 7,
        EditEntryItem = 9,
        EditPageDetailItem = 10,
        AddToBookItem = 12,
        RefreshItem = 14,
        SetIndexImageItem = 16,
        CreateDuplicateItem = 18,
        ExternalEditorItem = 19,
    };
    static constexpr int LibItemCount = 20;
    enum VideoItem { SaveFrameItem = 0, PauseResumeItem = 1, RewindItem = 2 };

    explicit MenuMan(QWidget *parent = nullptr);
    ~MenuMan() override;

    // The menu man of window, made on first use.
    static MenuMan *forWindow(QWidget *window);
    // Lets the viewers open our menu; idempotent.
    static void installHook();

    // control: the picture (ImgView) or the video the menu is about; index: its
    // slot or pane. A video control answers the video menu through its slots
    // saveFrame(QString path) (returning bool when it can fail), togglePause()
    // and rewind(), so any player widget that has them plugs in.
    void ShowLibMenu(MenuTarget *window, QWidget *control, int index, bool fromViewer,
                     qint16 EntryType, const QString &FileName, const QString &Description,
                     const QPoint &globalPos);

    QMenu *libMenu() const { return m_libMenu; }
    QMenu *videoMenu() const { return m_videoMenu; }
    QAction *libItem(int index) const;
    QAction *videoItem(int index) const;

private:
    void setVisibility();
    void libCommand(int index);
    void videoCommand(int index);
    void saveVideoFrame(QWidget *video, QWidget *owner);

    QMenu *m_libMenu;
    QMenu *m_videoMenu;
    QList<QAction *> m_libItems;
    QList<QAction *> m_videoItems;

    // What the next command is about.
    MenuTarget *m_target = nullptr;
    QPointer<QWidget> m_targetWindow; // guards m_target
    QPointer<QWidget> m_control;
    int m_index = -1;
    bool m_fromViewer = false;
    qint16 m_entryType = 0;
    QString m_fileName;
    QString m_description;
};

} // namespace tovradocs::Internal
