#include "MainFrame.h"

#include "WharfDoc.h"
#include "WharfView.h"
#include "platform/Services.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

namespace
{
constexpr int IdleTextMilliseconds = 15000;
}

CMainFrame::CMainFrame(CWharfDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_view(new CWharfView(doc, this))
{
    setCentralWidget(m_view);

    // Panes 1 to 3 are as wide as their longest usual text.
    static const char* const widthTexts[4] = {
        "", "Directories:          ", "Files:          ", "                   bytes"};
    for (int pane = 0; pane < 4; ++pane)
    {
        m_panes[pane] = new QLabel(this);
        if (pane == 0)
            statusBar()->addWidget(m_panes[pane], 1);
        else
        {
            m_panes[pane]->setMinimumWidth(
                QFontMetrics(m_panes[pane]->font()).horizontalAdvance(widthTexts[pane]));
            m_panes[pane]->setFrameShape(QFrame::Panel);
            m_panes[pane]->setFrameShadow(QFrame::Sunken);
            statusBar()->addPermanentWidget(m_panes[pane]);
        }
    }

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(m_view->ConnectAction());
    file->addAction(m_view->DisconnectAction());
    file->addSeparator();
    m_exitAction = file->addAction("E&xit");
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu("&View");
    view->addAction(m_view->IconsAction());
    view->addAction(m_view->ListAction());
    view->addAction(m_view->DetailsAction());
    view->addSeparator();
    m_statusBarAction = view->addAction("&Status Bar");
    m_statusBarAction->setCheckable(true);
    m_statusBarAction->setChecked(true);
    connect(m_statusBarAction, &QAction::toggled, statusBar(), &QWidget::setVisible);

    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->addAction(m_view->TempDirectoryAction());

    QMenu* help = menuBar()->addMenu("&Help");
    m_aboutAction = help->addAction("&About Tessel FTP Client...");

    for (QMenu* menu : {file, view, tools, help})
        connect(menu, &QMenu::aboutToShow, m_view, &CWharfView::UpdateCommands);

    connect(&doc, &CWharfDoc::TitleChanged, this,
            [this](const QString& title) { setWindowTitle(TitleFor(title)); });
    setWindowTitle(TitleFor(QString::fromStdWString(doc.Title())));

    // A status text stays at most this long before the idle text replaces it.
    m_idleText.setInterval(IdleTextMilliseconds);
    connect(&m_idleText, &QTimer::timeout, this, [] { platform::Services::SetStatusText(0, L"Ready"); });
    m_idleText.start();
    setGeometry(150, 150, 580, 460);
}

QString CMainFrame::TitleFor(const QString& documentTitle)
{
    return documentTitle.isEmpty() ? QString("Tessel FTP Client") : documentTitle + " - Tessel FTP Client";
}

QString CMainFrame::PaneText(int pane) const
{
    return pane >= 0 && pane < 4 ? m_panes[pane]->text() : QString();
}

void CMainFrame::SetPaneText(int pane, const QString& text)
{
    if (pane >= 0 && pane < 4)
        m_panes[pane]->setText(text);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    m_doc.ResetContents();
    QMainWindow::closeEvent(event);
}
