#pragma once
#include <QMainWindow>
#include <QString>

class QLabel;
class QMenu;
class QProgressBar;
class QShortcut;
class QToolBar;
class QToolButton;

namespace nsHandheld
{

class CSkiffDoc;
class CSkiffView;

// skiff's main window: one command bar (the "Menu" button with the File,
// Edit, View, Tools and Help menus, then the toolbar buttons) over the
// two-page view. No status bar and no remembered layout; while the window
// waits for the server a line under the view says what for, with Stop.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(CSkiffDoc& doc, QWidget* parent = nullptr);

    CSkiffView& View() { return *m_view; }
    QToolBar& CommandBar() { return *m_commandBar; }
    QToolButton* MenuButton() const { return m_menuButton; }
    QMenu* Menu() const { return m_menu; }
    QAction* AboutAction() const { return m_aboutAction; }
    QAction* ExitAction() const { return m_exitAction; }
    QLabel* WaitText() const { return m_waitText; }
    QToolButton* StopButton() const { return m_stopButton; }
    bool Waiting() const;

    static QString TitleFor(const QString& documentTitle);
    // The size the window opens at where the screen has room for it.
    static constexpr int DefaultWidth = 360, DefaultHeight = 640;
    // The whole screen where it is smaller than that, else the default size.
    void PlaceOnScreen();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenu();
    void CreateCommandBar();
    void CreateWaitLine(QWidget* below);

    CSkiffDoc& m_doc;
    CSkiffView* m_view;
    QToolBar* m_commandBar = nullptr;
    QToolButton* m_menuButton = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_exitAction = nullptr;
    QWidget* m_waitLine = nullptr;
    QLabel* m_waitText = nullptr;
    QProgressBar* m_waitBar = nullptr;
    QToolButton* m_stopButton = nullptr;
    QShortcut* m_stopShortcut = nullptr;
    bool m_closeWhenIdle = false;
};

} // namespace nsHandheld
