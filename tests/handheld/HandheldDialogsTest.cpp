// The shared dialogs in their handheld form, on the screens of this test
// program's run (240x320, 320x240 and 360x720): each fits the screen or
// scrolls so every control can be reached, carries the handheld's titles and
// labels, and tells on-screen keyboards what its fields take. The desktop
// form is unchanged.
#include "files/RemoteBrowser.h"
#include "files/dialogs/AskReplaceDlg.h"
#include "files/dialogs/CommandDialogs.h"
#include "files/dialogs/FileAttributes.h"
#include "files/dialogs/FindDlg.h"
#include "files/dialogs/PropDlg.h"
#include "files/dialogs/UploadDlg.h"
#include "sites/DirectEngineRunner.h"
#include "sites/SiteConnection.h"
#include "sites/dialogs/ProxyDlg.h"
#include "sites/dialogs/SiteManager.h"
#include "sites/dialogs/SiteProp.h"
#include "support/TestServices.h"
#include "widgets/AboutDlg.h"
#include "widgets/DialogProfile.h"
#include "widgets/TextDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gmock/gmock.h>
#include <memory>

namespace
{
struct DialogCase
{
    const char* name;
    std::function<std::unique_ptr<QDialog>(CSiteConnection&)> make;
    // The title of each form.
    QString desktopTitle, handheldTitle;
    // Texts of labels, boxes and buttons the handheld form shows.
    std::vector<QString> handheldTexts;
};

// Test names and messages show the case's name, not its bytes.
void PrintTo(const DialogCase& dialogCase, std::ostream* out)
{
    *out << dialogCase.name;
}

FileProperties LocalFile()
{
    FileProperties properties;
    properties.local = true;
    properties.name = L"a rather long file name for a small screen.tar.gz";
    properties.path = L"/home/user/Documents/Projects/2024/archive";
    properties.sizeText = L"5120.00 Mb (5368709120 bytes)";
    properties.modified = 1700000000;
    return properties;
}

// The Find dialog with the browser and command host it works with.
struct FindParts
{
    explicit FindParts(CSiteConnection& connection) : browser(connection, runner) {}
    CDirectEngineRunner runner;
    CRemoteBrowser browser;
    CCommandDialogs host{nullptr};
};
class FindWithItsParts : private FindParts, public CFindDlg
{
public:
    explicit FindWithItsParts(CSiteConnection& connection)
        : FindParts(connection), CFindDlg(connection, browser, host)
    {
    }
};

const std::vector<DialogCase>& Cases()
{
    static const std::vector<DialogCase> cases = {
        {"SiteManager",
         [](CSiteConnection& c) { return std::make_unique<CSiteManager>(c); },
         "Site Manager",
         "Site Manager",
         {"Connect", "New", "Edit", "Delete"}},
        {"SiteProp",
         [](CSiteConnection& c) { return std::make_unique<CSiteProp>(c); },
         "Site Properties",
         "Site Manager",
         {"Passive Mode", "Keep Alive", "Anonymous", "Proxy...", "OK", "Cancel"}},
        {"Proxy",
         [](CSiteConnection&) { return std::make_unique<CProxyDlg>(); },
         "FTP Proxy Server Settings",
         "FTP Proxy Server Settings",
         {"OK", "Cancel"}},
        {"Prompt",
         [](CSiteConnection&) { return std::make_unique<CTextDlg>(L"Move To", L"/home/user"); },
         "Move To",
         "Move To",
         {"OK", "Cancel"}},
        {"Replace",
         [](CSiteConnection&)
         {
             return std::make_unique<CAskReplaceDlg>(nullptr, false, L"holiday-pictures-2024-complete.zip",
                                                     L"1.50 Kb (1536 bytes)\r\n01/02/24 10:00:00",
                                                     L"2 B(2 bytes)\r\n01/03/24 11:00:00");
         },
         "Confirm Replace",
         "Files Exists",
         {"Remote File:", "Local File:", "OK", "Cancel"}},
        {"Progress",
         [](CSiteConnection&)
         { return std::make_unique<CUploadDlg>(nullptr, nullptr, L"", JobKind::Upload); },
         "Uploading...",
         "Dialog",
         {"Cancel"}},
        {"Attributes",
         [](CSiteConnection&) { return std::make_unique<CFileAttributes>(0644); },
         "Change File(s) Attributes",
         "File Attributes",
         {"Owner Permissions", "Group Permissions", "Public Permissions", "Manual value:", "OK", "Cancel"}},
        {"Properties",
         [](CSiteConnection&) { return std::make_unique<CPropDlg>(LocalFile()); },
         "Properties",
         "File Properties",
         {"Read Only", "Hidden", "System", "OK"}},
        {"Find",
         [](CSiteConnection& c) { return std::make_unique<FindWithItsParts>(c); },
         "Find",
         "Find",
         {"Find what:", "Subfolders", "Match case", "Whole word", "Find", "Goto", "Copy", "Delete"}},
        {"About",
         [](CSiteConnection&) { return std::make_unique<CAboutDlg>(); },
         "About Tessel FTP Client",
         "About Tessel FTP Client",
         {"Tessel FTP Client v4.1", "OK"}},
    };
    return cases;
}

std::vector<QString> ShownTexts(const QDialog& dialog)
{
    std::vector<QString> texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (!label->isHidden())
            texts.push_back(label->text());
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        if (!button->isHidden())
            texts.push_back(button->text().remove('&'));
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
        texts.push_back(group->title());
    return texts;
}

class HandheldDialogs : public testing::TestWithParam<DialogCase>
{
protected:
    void SetUp() override { QApplication::setFont(QFont("DejaVu Sans", 9)); }
    void TearDown() override { CDialogProfile::Set(CDialogProfile::Desktop); }

    CSiteConnection m_connection;
};
} // namespace

INSTANTIATE_TEST_SUITE_P(Each, HandheldDialogs, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(HandheldDialogs, FitsTheScreenOrScrollsToEveryControl)
{
    CDialogProfile::Set(CDialogProfile::Handheld);
    const auto dialog = GetParam().make(m_connection);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QRect room = dialog->screen()->availableGeometry();
    EXPECT_TRUE(room.contains(dialog->frameGeometry()))
        << dialog->frameGeometry().width() << "x" << dialog->frameGeometry().height() << " on "
        << room.width() << "x" << room.height();
    EXPECT_EQ(dialog->windowTitle(), GetParam().handheldTitle);
    EXPECT_THAT(ShownTexts(*dialog), testing::IsSupersetOf(GetParam().handheldTexts));

    QScrollArea* scroll = CDialogProfile::ScrollArea(dialog.get());
    ASSERT_NE(scroll, nullptr);
    // The scroll bars reach a place where every control is seen whole.
    QWidget* page = scroll->widget();
    const QSize viewport = scroll->viewport()->size();
    const int reach[2] = {scroll->horizontalScrollBar()->maximum(), scroll->verticalScrollBar()->maximum()};
    for (QWidget* control : page->findChildren<QWidget*>())
    {
        if (!control->isVisibleTo(page) ||
            !(qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control)))
            continue;
        const QRect on(control->mapTo(page, QPoint(0, 0)), control->size());
        const bool seen[2] = {std::max(0, on.right() + 1 - viewport.width()) <= std::min(reach[0], on.left()),
                              std::max(0, on.bottom() + 1 - viewport.height()) <=
                                  std::min(reach[1], on.top())};
        EXPECT_TRUE(seen[0] && seen[1])
            << control->metaObject()->className() << " " << control->objectName().toStdString() << " at "
            << on.x() << "," << on.y() << " " << on.width() << "x" << on.height() << " in "
            << viewport.width() << "x" << viewport.height() << " scrolling " << reach[0] << "," << reach[1];
    }
    // A page larger than the room it has can be scrolled to its end.
    const QSize whole = scroll->widget()->minimumSizeHint();
    if (whole.height() > scroll->viewport()->height())
    {
        EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    }
    if (whole.width() > scroll->viewport()->width())
    {
        EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0);
    }
}

TEST_P(HandheldDialogs, TheDesktopFormIsUnchanged)
{
    CDialogProfile::Set(CDialogProfile::Desktop);
    const auto dialog = GetParam().make(m_connection);
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), GetParam().desktopTitle);
    EXPECT_EQ(CDialogProfile::ScrollArea(dialog.get()), nullptr);
}

TEST(HandheldFields, TextFieldsTellOnScreenKeyboardsWhatTheyTake)
{
    CDialogProfile::Set(CDialogProfile::Handheld);
    CSiteConnection connection;
    CSiteProp site(connection);
    const auto hints = [&](const char* name) { return site.findChild<QLineEdit*>(name)->inputMethodHints(); };
    for (const char* verbatim : {"host", "login", "directory"})
        EXPECT_TRUE(hints(verbatim) & Qt::ImhNoAutoUppercase) << verbatim;
    EXPECT_FALSE(hints("label") & Qt::ImhNoAutoUppercase);
    for (const Qt::InputMethodHint hint : {Qt::ImhHiddenText, Qt::ImhSensitiveData, Qt::ImhNoPredictiveText})
        EXPECT_TRUE(hints("password") & hint);
    EXPECT_EQ(site.findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(hints("port") & Qt::ImhDigitsOnly);

    CProxyDlg proxy;
    EXPECT_TRUE(proxy.findChild<QLineEdit*>("password")->inputMethodHints() & Qt::ImhSensitiveData);
    EXPECT_TRUE(proxy.findChild<QLineEdit*>("host")->inputMethodHints() & Qt::ImhNoAutoUppercase);
    CTextDlg prompt(L"Enter Path", L"/");
    EXPECT_TRUE(prompt.Edit()->inputMethodHints() & Qt::ImhNoAutoUppercase);
    CDialogProfile::Set(CDialogProfile::Desktop);
}

TEST(HandheldFields, TheSiteDialogKeepsEveryFieldOfTheRecord)
{
    // The settings file is wharf's too: what skiff's dialog does not show
    // must come back from it as it went in.
    CDialogProfile::Set(CDialogProfile::Handheld);
    CSiteConnection connection;
    SiteRecord site;
    site.SetLabel(L"Behind a proxy");
    site.SetHost(L"ftp.example.net");
    site.SetPort(2121);
    site.SetPassive(0);
    site.SetProxyMode(6);
    site.SetProxyHost(L"proxy.example.net");
    site.SetProxyPort(8021);
    site.SetProxyUser(L"fire");
    site.SetProxyPassword(L"wall");
    site.SetParentGroupId(-1);
    CSiteProp properties(connection);
    properties.Load(site);
    properties.show();
    properties.accept();
    ASSERT_EQ(properties.result(), QDialog::Accepted);
    SiteRecord stored;
    properties.Store(stored);
    for (const auto& [what, same] : std::vector<std::pair<const char*, bool>>{
             {"label", stored.Label() == site.Label()},
             {"port", stored.Port() == 2121},
             {"passive", stored.Passive() == 0},
             {"proxy mode", stored.ProxyMode() == 6},
             {"proxy host", stored.ProxyHost() == site.ProxyHost()},
             {"proxy port", stored.ProxyPort() == 8021},
             {"proxy user", stored.ProxyUser() == site.ProxyUser()},
             {"proxy password", stored.ProxyPassword() == site.ProxyPassword()}})
        EXPECT_TRUE(same) << what;
    CDialogProfile::Set(CDialogProfile::Desktop);
}
