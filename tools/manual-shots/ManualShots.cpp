#include "ManualShots.h"

#include "ShotServer.h"
#include "desktop/DialogBarEx.h"
#include "desktop/MainFrame.h"
#include "desktop/WharfDoc.h"
#include "desktop/WharfView.h"
#include "files/IFileCommandHost.h"
#include "files/RemoteBrowser.h"
#include "files/RemoteCommands.h"
#include "files/dialogs/FileAttributes.h"
#include "files/dialogs/FindDlg.h"
#include "files/dialogs/PropDlg.h"
#include "handheld/MainFrame.h"
#include "handheld/SkiffDoc.h"
#include "handheld/SkiffView.h"
#include "platform/Services.h"
#include "sites/SiteConnection.h"
#include "sites/dialogs/ProxyDlg.h"
#include "sites/dialogs/SiteManager.h"
#include "sites/dialogs/SiteProp.h"
#include "widgets/BrowserListModel.h"
#include "widgets/DialogProfile.h"
#include "widgets/ListCtrlEx.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QTreeView>
#include <QTreeWidget>
#include <optional>

namespace
{
const wchar_t* const DemoLabel = L"Local demo";
// Big enough for the toolbar with its labels; users resize the same way.
constexpr int ShotWidth = 1080;
constexpr int ShotHeight = 560;

void Settle()
{
    for (int i = 0; i < 5; ++i)
    {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

std::wstring Wide(const char* text)
{
    return QString(text).toStdWString();
}

// Keeps what the file commands would show, so the dialogs can be shown
// without their modal loops; asks nothing and runs no job.
class CKeptDialogs : public IFileCommandHost
{
public:
    bool Prompt(const std::wstring&, std::wstring&) override { return false; }
    bool ChooseMode(int preset, std::wstring&) override
    {
        m_preset = preset;
        return false;
    }
    void ShowProperties(const FileProperties& properties) override { m_properties = properties; }
    JobResult RunJob(std::unique_ptr<CTransferList>, const std::wstring&, JobKind) override
    {
        return JobResult::Cancel;
    }

    int m_preset = -1;
    std::optional<FileProperties> m_properties;
};

// The row of the list that shows this name, -1 when none does.
int ListRowOf(CWharfView& view, const QString& name)
{
    for (int i = 0; i < view.Model().rowCount(); ++i)
        if (view.Model().data(view.Model().index(i, 0), Qt::DisplayRole).toString() == name)
            return i;
    return -1;
}
} // namespace

CManualShots::CManualShots(QString outputFolder, const QString& settingsPath)
    : m_output(std::move(outputFolder)), m_app(settingsPath)
{
}

bool CManualShots::Fail(const QString& text)
{
    m_error = text;
    return false;
}

bool CManualShots::Save(QWidget& widget, const QString& name)
{
    Settle();
    const QString path = QDir(m_output).filePath(name);
    if (!widget.grab().save(path, "PNG"))
        return Fail("cannot write " + path);
    return true;
}

bool CManualShots::Prepare(quint16 port)
{
    m_port = port;
    if (!m_app.InitInstance(false))
        return Fail("wharf did not start");
    // Nobody is there to answer a box: its text goes to stderr instead of
    // waiting for a click that never comes.
    platform::Services::SetMessageBoxes(&m_boxes);
    m_app.Frame()->resize(ShotWidth, ShotHeight);

    CSiteList& sites = m_app.Doc()->Connection().Sites();
    sites.LoadSites();
    SiteRecord group;
    group.SetLabel(L"Work");
    group.SetGroupId(sites.NextGroupNumber());
    SiteRecord build;
    build.SetLabel(L"Build server");
    build.SetHost(L"build.example.net");
    build.SetLogin(L"alice");
    build.SetPassword(L"secret");
    build.SetParentGroupId(group.GroupId());
    build.SetDirectory(L"releases");
    build.SetTimeout(20);
    SiteRecord mirror;
    mirror.SetLabel(L"Public mirror");
    mirror.SetHost(L"ftp.example.org");
    mirror.SetAnonymous(1);
    mirror.SetDirectory(L"/pub");
    SiteRecord demo;
    demo.SetLabel(DemoLabel);
    demo.SetHost(L"127.0.0.1");
    demo.SetPort(port);
    demo.SetLogin(Wide(CShotServer::User));
    demo.SetPassword(Wide(CShotServer::Password));
    demo.SetTimeout(10);
    for (const SiteRecord* record : {&group, &build, &mirror, &demo})
        if (sites.AddSite(*record) < 0)
            return Fail("cannot store the site " + QString::fromStdWString(record->Label()));
    return true;
}

bool CManualShots::ShootSiteManager()
{
    CSiteManager manager(m_app.Doc()->Connection(), m_app.Frame());
    manager.show();
    manager.Tree()->expandAll();
    const QList<QTreeWidgetItem*> found =
        manager.Tree()->findItems(QString::fromStdWString(DemoLabel), Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty())
        return Fail("the Site Manager does not list the site " + QString::fromStdWString(DemoLabel));
    manager.Tree()->setCurrentItem(found.first());
    return Save(manager, "site-manager.png");
}

bool CManualShots::ShootSiteProperties()
{
    // A site on the usual port in a group: the same picture in every build,
    // where the demo site's port changes.
    const SiteRecord* site = m_app.Doc()->Connection().Sites().FindSite(L"Build server");
    if (!site)
        return Fail("the site Build server is not stored");
    CSiteProp properties(m_app.Doc()->Connection(), m_app.Frame());
    properties.Load(*site);
    properties.show();
    return Save(properties, "site-properties.png");
}

bool CManualShots::ShootProxy()
{
    CProxyDlg proxy(m_app.Frame());
    proxy.m_mode = 6;
    proxy.m_host = L"proxy.example.net";
    proxy.m_port = 2121;
    proxy.m_user = L"alice";
    proxy.m_password = L"secret";
    proxy.show();
    return Save(proxy, "proxy.png");
}

bool CManualShots::ShootMainWindow()
{
    CWharfView& view = m_app.Frame()->View();
    // The Site Manager's own Connect, without its modal loop.
    view.SetSiteManagerRunner(
        [](CSiteConnection& connection, QWidget*, std::wstring& title)
        {
            if (!connection.ConnectStoredSite(DemoLabel))
                return false;
            const SiteRecord& site = connection.CurrentSite();
            title = site.Label() + L" (" + site.Host() + L":" + std::to_wstring(site.Port()) + L")";
            return true;
        });
    view.OnConnect();
    if (!view.Connection().IsConnected())
        return Fail(QString("cannot connect to the demo server on 127.0.0.1:%1").arg(m_port));
    const int row = ListRowOf(view, "README.txt");
    if (row < 0)
        return Fail("the list does not show the sample tree");
    view.List().DetailsView()->setCurrentIndex(view.Model().index(row, 0));
    return Save(*m_app.Frame(), "main-window.png");
}

bool CManualShots::ShootSkiff()
{
    // skiff's window as it opens where the screen has room, its dialogs in
    // their handheld form, connected to the same server.
    CDialogProfile::Set(CDialogProfile::Handheld);
    bool saved = false;
    {
        nsHandheld::CSkiffDoc doc;
        nsHandheld::CMainFrame frame(doc);
        nsHandheld::CSkiffView& view = frame.View();
        view.SetSiteManagerRunner(
            [](CSiteConnection& connection, QWidget*, std::wstring& title)
            {
                if (!connection.ConnectStoredSite(DemoLabel))
                    return false;
                title = connection.CurrentSite().Label();
                return true;
            });
        frame.resize(nsHandheld::CMainFrame::DefaultWidth, nsHandheld::CMainFrame::DefaultHeight);
        frame.show();
        view.OnConnect();
        if (!view.Connection().IsConnected())
            Fail(QString("skiff cannot connect to the demo server on 127.0.0.1:%1").arg(m_port));
        else
        {
            CBrowserListModel& model = view.RemoteModel();
            for (int i = 0; i < model.rowCount(); ++i)
                if (model.data(model.index(i, 0), Qt::DisplayRole).toString() == "README.txt")
                    view.RemoteList().DetailsView()->setCurrentIndex(model.index(i, 0));
            saved = Save(frame, "skiff.png");
            view.OnDisconnect();
        }
    }
    CDialogProfile::Set(CDialogProfile::Desktop);
    return saved;
}

bool CManualShots::SelectRow(const QString& name)
{
    CWharfView& view = m_app.Frame()->View();
    const int row = ListRowOf(view, name);
    if (row < 0)
        return Fail("the list does not show " + name);
    view.List().DetailsView()->setCurrentIndex(view.Model().index(row, 0));
    return true;
}

bool CManualShots::ShootAttributes()
{
    CWharfView& view = m_app.Frame()->View();
    if (!SelectRow("src"))
        return false;
    CKeptDialogs kept;
    CRemoteCommands commands(view.Connection(), m_app.Doc()->Call(), view.Browser(), kept);
    commands.Chmod(view.SelectedRows());
    if (kept.m_preset < 0)
        return Fail("CHMOD did not open its dialog for the folder src");
    CFileAttributes attributes(kept.m_preset, m_app.Frame());
    attributes.show();
    return Save(attributes, "attributes.png");
}

bool CManualShots::ShootProperties()
{
    CWharfView& view = m_app.Frame()->View();
    if (!SelectRow("archive.zip"))
        return false;
    CKeptDialogs kept;
    CRemoteCommands commands(view.Connection(), m_app.Doc()->Call(), view.Browser(), kept);
    commands.Properties(view.SelectedRows());
    if (!kept.m_properties)
        return Fail("Properties showed nothing for archive.zip");
    CPropDlg properties(*kept.m_properties, m_app.Frame());
    properties.show();
    return Save(properties, "properties.png");
}

bool CManualShots::ShootFind()
{
    CWharfView& view = m_app.Frame()->View();
    CKeptDialogs kept;
    CFindDlg dialog(view.Connection(), view.Browser(), kept, m_app.Frame());
    dialog.show();
    dialog.FindWhat()->setText(".txt");
    dialog.FindButton()->click();
    const QDeadlineTimer deadline(30000);
    while (dialog.CurrentMode() != CFindDlg::Finished && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    if (dialog.Results().size() != 3)
        return Fail("Find \".txt\" did not find the three text files of the demo server");
    dialog.ResultList()->selectRow(0);
    return Save(dialog, "find.png");
}

bool CManualShots::ShootFilter()
{
    CMainFrame& frame = *m_app.Frame();
    CWharfView& view = frame.View();
    QLineEdit* text = frame.FilterBar().FilterText();
    if (!view.Browser().GoTo(L"/docs"))
        return Fail("cannot open the folder /docs of the demo server");

    // Typed as a user types, so the bar reacts as it does to keys.
    text->setFocus();
    for (const QChar c : QString("htm"))
    {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(text, &press);
    }
    Settle();
    if (ListRowOf(view, "index.html") < 0 || ListRowOf(view, "page.htm") < 0 ||
        ListRowOf(view, "NOTES.TXT") >= 0)
        return Fail("typing \"htm\" in the filter bar did not narrow the list to index.html and page.htm");
    return Save(frame, "filter.png");
}
