#pragma once
#include "HelpDocuments.h"
#include "platform/gui/DesktopShellOpener.h"

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <string>

class CDialogBarEx;
class CToolBarEx;
class CWharfDoc;
class CWharfView;
class QLabel;
class QProgressBar;
class QShortcut;
class QToolButton;

namespace platform
{
class IShellOpener;
}

// The main window: menu bar, toolbar, filter bar, the view, and the four-pane
// status bar that is the program's status outlet. It remembers its placement,
// its bars and the list's look in the layout key.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(CWharfDoc& doc, QWidget* parent = nullptr);

    CWharfView& View() { return *m_view; }
    CToolBarEx& ToolBar() { return *m_toolBar; }
    CDialogBarEx& FilterBar() { return *m_filterBar; }
    QAction* AboutAction() const { return m_aboutAction; }
    QAction* ExitAction() const { return m_exitAction; }
    QAction* ToolBarAction() const { return m_toolBarAction; }
    QAction* FilterAction() const { return m_filterAction; }
    QAction* StatusBarAction() const { return m_statusBarAction; }
    QAction* OverviewAction() const { return m_overviewAction; }
    QAction* ManualAction() const { return m_manualAction; }
    QString PaneText(int pane) const;
    // The indicator of a wait for the server: what is waited for, a busy bar
    // and Stop; hidden while the window waits for nothing.
    QLabel* WaitText() const { return m_waitText; }
    QToolButton* StopButton() const { return m_stopButton; }
    bool Waiting() const;
    // The lock of the connection: a closed padlock while it is encrypted
    // (protocol and cipher as its tooltip), an open one after a plain logon
    // that sent a password, hidden otherwise.
    QLabel* SecurityIndicator() const { return m_security; }

    static QString TitleFor(const QString& documentTitle);

    // Where the layout lives in the settings store.
    static const std::wstring LayoutKey;
    // The placement used when none (or no usable one) is stored.
    static constexpr int DefaultX = 150, DefaultY = 150, DefaultWidth = 580, DefaultHeight = 460;

    // Saves (save true) or restores the placement, the three bars and the
    // list's look, as one change of the settings file. False when the layout
    // could not be saved (the error box has said why); restoring always
    // gives the window a place.
    bool SaveRestoreLayout(bool save);

    // 15 seconds unless a test wants it shorter.
    void SetIdlePeriod(int milliseconds);
    int IdlePeriod() const { return m_idleText.interval(); }

    // The help documents and what opens them; tests point both elsewhere.
    CHelpDocuments& Help() { return m_help; }
    void SetShellOpener(platform::IShellOpener* opener);

public slots:
    // Status pane texts arrive here through queued calls from any thread.
    void SetPaneText(int pane, const QString& text);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateBars();
    void CreateWaitIndicator();
    void ShowPrompt(const QString& prompt);
    void ShowSecurity(const QString& text);
    bool SaveLayout();
    void RestoreLayout();

    CWharfDoc& m_doc;
    CWharfView* m_view;
    CToolBarEx* m_toolBar;
    CDialogBarEx* m_filterBar;
    std::array<QLabel*, 4> m_panes{};
    QLabel* m_security = nullptr;
    QLabel* m_waitText = nullptr;
    QProgressBar* m_waitBar = nullptr;
    QToolButton* m_stopButton = nullptr;
    QShortcut* m_stopShortcut = nullptr;
    bool m_closeWhenIdle = false;
    QTimer m_idleText;
    // While a menu item or button is hovered pane 0 shows its prompt; the
    // text it replaced (or a newer status text) comes back afterwards.
    bool m_prompting = false;
    QString m_beforePrompt;
    CHelpDocuments m_help;
    platform::DesktopShellOpener m_desktopOpener;
    platform::IShellOpener* m_opener;
    QAction* m_aboutAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_toolBarAction = nullptr;
    QAction* m_filterAction = nullptr;
    QAction* m_statusBarAction = nullptr;
    QAction* m_overviewAction = nullptr;
    QAction* m_manualAction = nullptr;
};
