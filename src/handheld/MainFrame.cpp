#include "MainFrame.h"

#include "SkiffDoc.h"
#include "SkiffView.h"
#include "widgets/EngineCall.h"
#include "widgets/SvgIcon.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace nsHandheld
{

namespace
{
constexpr int ImageSize = 24;

void Image(QAction* action, const char* image)
{
    action->setIcon(CSvgIcon::Render(QString(":/toolbar/%1.svg").arg(image), {ImageSize, 2 * ImageSize}));
    action->setToolTip(action->text().remove(QStringLiteral("...")));
}
} // namespace

CMainFrame::CMainFrame(CSkiffDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_view(new CSkiffView(doc))
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view, 1);
    CreateWaitLine(central);
    layout->addWidget(m_waitLine);
    setCentralWidget(central);
    CreateMenu();
    CreateCommandBar();

    connect(&doc, &CSkiffDoc::TitleChanged, this,
            [this](const QString& title) { setWindowTitle(TitleFor(title)); });
    setWindowTitle(TitleFor(QString::fromStdWString(doc.Title())));
}

void CMainFrame::CreateMenu()
{
    CSkiffView& view = *m_view;
    m_menu = new QMenu(QStringLiteral("Menu"), this);
    QMenu* file = m_menu->addMenu(QStringLiteral("File"));
    file->addActions({view.ConnectAction(), view.DisconnectAction()});
    file->addSeparator();
    file->addActions(
        {view.NewDirectoryAction(), view.RenameAction(), view.DeleteAction(), view.MoveToAction()});
    file->addSeparator();
    file->addAction(view.PropertiesAction());
    file->addSeparator();
    m_exitAction = file->addAction(QStringLiteral("Exit"));
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = m_menu->addMenu(QStringLiteral("Edit"));
    edit->addActions({view.CopyAction(), view.PasteAction()});
    edit->addSeparator();
    edit->addAction(view.FindAction());

    QMenu* look = m_menu->addMenu(QStringLiteral("View"));
    look->addActions({view.IconsAction(), view.ListAction(), view.DetailsAction()});

    QMenu* tools = m_menu->addMenu(QStringLiteral("Tools"));
    tools->addActions({view.ChmodAction(), view.TempDirectoryAction()});

    QMenu* help = m_menu->addMenu(QStringLiteral("Help"));
    m_aboutAction = help->addAction(QStringLiteral("About Tessel FTP Client..."));

    for (QMenu* menu : {m_menu, file, edit, look, tools, help})
        connect(menu, &QMenu::aboutToShow, m_view, &CSkiffView::UpdateCommands);
}

void CMainFrame::CreateCommandBar()
{
    CSkiffView& view = *m_view;
    m_commandBar = new QToolBar(QStringLiteral("Commands"), this);
    m_commandBar->setObjectName("CommandBar");
    m_commandBar->setMovable(false);
    m_commandBar->setFloatable(false);
    m_commandBar->setIconSize(QSize(ImageSize, ImageSize));
    m_commandBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The bar itself is no command: its own context menu would only hide it.
    m_commandBar->setContextMenuPolicy(Qt::PreventContextMenu);

    m_menuButton = new QToolButton(m_commandBar);
    m_menuButton->setText(QStringLiteral("Menu"));
    m_menuButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_menuButton->setMenu(m_menu);
    m_commandBar->addWidget(m_menuButton);
    m_commandBar->addSeparator();

    Image(view.ConnectAction(), "connect");
    Image(view.DisconnectAction(), "disconnect");
    Image(view.CopyAction(), "copy");
    Image(view.PasteAction(), "paste");
    Image(view.NewDirectoryAction(), "newdir");
    Image(view.RenameAction(), "rename");
    Image(view.DeleteAction(), "delete");
    Image(view.ChmodAction(), "chmod");
    Image(view.PropertiesAction(), "properties");
    Image(m_aboutAction, "about");
    QAction* const buttons[] = {view.ConnectAction(),
                                view.DisconnectAction(),
                                nullptr,
                                view.CopyAction(),
                                view.PasteAction(),
                                nullptr,
                                view.NewDirectoryAction(),
                                view.RenameAction(),
                                view.DeleteAction(),
                                nullptr,
                                view.ChmodAction(),
                                nullptr,
                                view.PropertiesAction(),
                                nullptr,
                                m_aboutAction};
    for (QAction* button : buttons)
    {
        if (button)
            m_commandBar->addAction(button);
        else
            m_commandBar->addSeparator();
    }
    addToolBar(Qt::TopToolBarArea, m_commandBar);
}

void CMainFrame::CreateWaitLine(QWidget* parent)
{
    m_waitLine = new QWidget(parent);
    m_waitText = new QLabel(m_waitLine);
    m_waitText->setTextFormat(Qt::PlainText);
    m_waitBar = new QProgressBar(m_waitLine);
    m_waitBar->setRange(0, 0);
    m_waitBar->setMaximumWidth(60);
    m_waitBar->setTextVisible(false);
    m_stopButton = new QToolButton(m_waitLine);
    m_stopButton->setText(QStringLiteral("Stop"));
    auto* row = new QHBoxLayout(m_waitLine);
    row->setContentsMargins(2, 1, 2, 1);
    row->addWidget(m_waitText, 1);
    row->addWidget(m_waitBar);
    row->addWidget(m_stopButton);
    m_waitLine->hide();

    CEngineCall& call = m_doc.Call();
    connect(m_stopButton, &QToolButton::clicked, &call, &CEngineCall::Stop);
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setContext(Qt::WindowShortcut);
    m_stopShortcut->setEnabled(false);
    connect(m_stopShortcut, &QShortcut::activated, &call, &CEngineCall::Stop);
    connect(&call, &CEngineCall::WaitShown, this,
            [this](bool shown, const QString& what)
            {
                // A long path is cut in the middle, so Stop stays on a narrow screen.
                m_waitText->setText(
                    m_waitText->fontMetrics().elidedText(what + "...", Qt::ElideMiddle, m_waitText->width()));
                m_waitText->setToolTip(what);
                m_waitLine->setVisible(shown);
            });
    connect(&call, &CEngineCall::Started, this, [this] { m_stopShortcut->setEnabled(true); });
    connect(&call, &CEngineCall::Finished, this,
            [this]
            {
                m_stopShortcut->setEnabled(false);
                if (m_closeWhenIdle)
                    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            });
}

bool CMainFrame::Waiting() const
{
    return m_doc.Call().Busy();
}

QString CMainFrame::TitleFor(const QString& documentTitle)
{
    return documentTitle.isEmpty() ? QString("Tessel FTP Client") : documentTitle + " - Tessel FTP Client";
}

void CMainFrame::PlaceOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, DefaultWidth, DefaultHeight);
    // A small screen is taken whole, frame and all: maximised, so the window
    // manager fits the frame in rather than pushing it past the screen's edge.
    if (room.width() < DefaultWidth || room.height() < DefaultHeight)
    {
        setGeometry(room);
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    else
        resize(DefaultWidth, DefaultHeight);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The window waits for the server: the wait is stopped, and the window
    // closes once the work has ended.
    if (Waiting())
    {
        m_closeWhenIdle = true;
        m_doc.Call().Stop();
        event->ignore();
        return;
    }
    m_closeWhenIdle = false;
    // Nothing of the window is kept: the layout belongs to the desktop program.
    m_doc.ResetContents();
    QMainWindow::closeEvent(event);
}

} // namespace nsHandheld
