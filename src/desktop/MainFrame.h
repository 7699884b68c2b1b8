#pragma once
#include <QMainWindow>
#include <QTimer>
#include <array>

class CWharfDoc;
class CWharfView;
class QLabel;

// The main window: menu bar, the view, and the four-pane status bar that is
// the program's status outlet.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(CWharfDoc& doc, QWidget* parent = nullptr);

    CWharfView& View() { return *m_view; }
    QAction* AboutAction() const { return m_aboutAction; }
    QAction* ExitAction() const { return m_exitAction; }
    QAction* StatusBarAction() const { return m_statusBarAction; }
    QString PaneText(int pane) const;

    static QString TitleFor(const QString& documentTitle);

public slots:
    // Status pane texts arrive here through queued calls from any thread.
    void SetPaneText(int pane, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CWharfDoc& m_doc;
    CWharfView* m_view;
    std::array<QLabel*, 4> m_panes{};
    QTimer m_idleText;
    QAction* m_aboutAction;
    QAction* m_exitAction;
    QAction* m_statusBarAction;
};
