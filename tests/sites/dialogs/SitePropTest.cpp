#include "sites/dialogs/SiteProp.h"
#include "DialogDriver.h"
#include "sites/SiteConnection.h"
#include "sites/SiteOptions.h"
#include "sites/dialogs/ProxyDlg.h"
#include "support/TestServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using testing_support::Boxes;
using testing_support::ClickOk;
using testing_support::WhenShown;

namespace
{
QLineEdit* Edit(QWidget& dialog, const char* name)
{
    auto* edit = dialog.findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
}

QCheckBox* Check(QWidget& dialog, const char* name)
{
    return dialog.findChild<QCheckBox*>(name);
}

void Retype(QWidget& dialog, const char* name, const QString& text)
{
    QLineEdit* edit = Edit(dialog, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

class SiteProp : public testing::Test
{
protected:
    void SetUp() override
    {
        AddGroup(L"Zeta", 4);
        AddGroup(L"Alpha", 2);
        SiteRecord site;
        site.SetLabel(L"Home");
        m_connection.Sites().AddSite(site);
    }
    void AddGroup(const std::wstring& label, int number)
    {
        SiteRecord group;
        group.SetLabel(label);
        group.SetGroupId(number);
        m_connection.Sites().AddSite(group);
    }
    // Runs the dialog; `act` drives it once it shows.
    int Run(QDialog& dialog, std::function<void(QDialog&)> act)
    {
        WhenShown<QDialog>(act);
        return dialog.exec();
    }

    CSiteConnection m_connection;
};
} // namespace

TEST_F(SiteProp, NewSiteShowsItsDefaultsAndTheGroupsInListOrder)
{
    CSiteProp dialog(m_connection);
    QStringList groups;
    const int result = Run(dialog,
                           [&](QDialog& d)
                           {
                               EXPECT_EQ(d.windowTitle(), "Site Properties");
                               EXPECT_EQ(Edit(d, "label")->text(), "");
                               EXPECT_EQ(Edit(d, "port")->text(), "21");
                               EXPECT_EQ(Edit(d, "timeout")->text(), "10");
                               EXPECT_TRUE(Check(d, "passive")->isChecked());
                               EXPECT_TRUE(Check(d, "keepAlive")->isChecked());
                               EXPECT_FALSE(Check(d, "anonymous")->isChecked());
                               EXPECT_EQ(Edit(d, "password")->echoMode(), QLineEdit::Password);
                               auto* parents = d.findChild<QComboBox*>("parentGroup");
                               for (int i = 0; i < parents->count(); ++i)
                                   groups << parents->itemText(i);
                               EXPECT_EQ(parents->currentIndex(), 0);
                               QTest::keyClicks(Edit(d, "label"), "New one");
                               ClickOk(d);
                           });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(groups, (QStringList{"No Parent Group", "Zeta", "Alpha"}));
    EXPECT_EQ(dialog.m_label, L"New one");
    EXPECT_EQ(dialog.m_timeout, 10);
    EXPECT_EQ(dialog.m_parentGroupId, -1);
    EXPECT_TRUE(Boxes().Texts().empty());
}

TEST_F(SiteProp, ParentGroupIsSelectedByNumberAndAMissingGroupMeansNone)
{
    CSiteProp dialog(m_connection);
    dialog.m_label = L"s";
    dialog.m_parentGroupId = 2;
    Run(dialog,
        [](QDialog& d)
        {
            auto* parents = d.findChild<QComboBox*>("parentGroup");
            EXPECT_EQ(parents->currentText(), "Alpha");
            parents->setCurrentIndex(1);
            ClickOk(d);
        });
    EXPECT_EQ(dialog.m_parentGroupId, 4);

    dialog.m_parentGroupId = 77;
    Run(dialog,
        [](QDialog& d)
        {
            EXPECT_EQ(d.findChild<QComboBox*>("parentGroup")->currentText(), "No Parent Group");
            ClickOk(d);
        });
    EXPECT_EQ(dialog.m_parentGroupId, -1);
}

TEST_F(SiteProp, OkRefusesAnEmptyOrTakenLabelAndNonNumbersAndStaysOpen)
{
    CSiteProp dialog(m_connection);
    std::vector<bool> openAfterOk;
    const int result = Run(dialog,
                           [&](QDialog& d)
                           {
                               ClickOk(d);
                               openAfterOk.push_back(d.isVisible());
                               QTest::keyClicks(Edit(d, "label"), "ALPHA");
                               ClickOk(d);
                               openAfterOk.push_back(d.isVisible());
                               Retype(d, "label", "Beta");
                               Retype(d, "port", "21x");
                               ClickOk(d);
                               openAfterOk.push_back(d.isVisible());
                               Retype(d, "port", "99999999999");
                               ClickOk(d);
                               openAfterOk.push_back(d.isVisible());
                               Retype(d, "port", " 2121 ");
                               Retype(d, "timeout", "");
                               ClickOk(d);
                               openAfterOk.push_back(d.isVisible());
                               Retype(d, "timeout", "-5");
                               ClickOk(d);
                           });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(openAfterOk, (std::vector<bool>{true, true, true, true, true}));
    EXPECT_EQ(Boxes().Texts(), (std::vector<std::wstring>{
                                   L"The site label cannot be empty.",
                                   L"A site or group with this label already exists.",
                                   L"Please enter an integer.",
                                   L"Please enter an integer.",
                                   L"Please enter an integer.",
                               }));
    for (const auto& box : Boxes().Boxes())
        EXPECT_EQ(box.icon, platform::BoxIcon::Error);
    EXPECT_EQ(dialog.m_label, L"Beta");
    EXPECT_EQ(dialog.m_port, 2121);
    EXPECT_EQ(dialog.m_timeout, -5);
}

TEST_F(SiteProp, KeepingTheOldLabelInAnotherCaseIsNoDuplicate)
{
    CSiteProp dialog(m_connection);
    dialog.Load(*m_connection.Sites().FindSite(L"Home"));
    const int result = Run(dialog,
                           [](QDialog& d)
                           {
                               Retype(d, "label", "home");
                               ClickOk(d);
                           });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.m_label, L"home");
    EXPECT_TRUE(Boxes().Texts().empty());
}

TEST_F(SiteProp, FtpSchemeIsCutFromTheHostInAnyCase)
{
    for (const QString& typed : {QString("ftp://ftp.example.org"), QString("FtP://ftp.example.org")})
    {
        CSiteProp dialog(m_connection);
        QString shown;
        Run(dialog,
            [&](QDialog& d)
            {
                Retype(d, "label", "x");
                Retype(d, "host", typed);
                ClickOk(d);
                shown = Edit(d, "host")->text();
            });
        EXPECT_EQ(dialog.m_host, L"ftp.example.org");
        EXPECT_EQ(shown, "ftp.example.org");
    }
    // Only the leading scheme goes.
    CSiteProp dialog(m_connection);
    dialog.m_label = L"y";
    dialog.m_host = L"host.ftp://";
    Run(dialog, [](QDialog& d) { ClickOk(d); });
    EXPECT_EQ(dialog.m_host, L"host.ftp://");
}

TEST_F(SiteProp, EveryTextFieldTakesAtMost95Characters)
{
    const QString longText(120, QChar('w'));
    CSiteProp dialog(m_connection);
    Run(dialog,
        [&](QDialog& d)
        {
            for (const char* name : {"label", "host", "login", "password", "directory"})
                Retype(d, name, longText);
            ClickOk(d);
        });
    const std::wstring cut(95, L'w');
    EXPECT_EQ(dialog.m_label, cut);
    EXPECT_EQ(dialog.m_host, cut);
    EXPECT_EQ(dialog.m_login, cut);
    EXPECT_EQ(dialog.m_password, cut);
    EXPECT_EQ(dialog.m_directory, cut);

    CProxyDlg proxy;
    Run(proxy,
        [&](QDialog& d)
        {
            for (const char* name : {"host", "user", "password"})
                Retype(d, name, longText);
            ClickOk(d);
        });
    EXPECT_EQ(proxy.m_host, cut);
    EXPECT_EQ(proxy.m_user, cut);
    EXPECT_EQ(proxy.m_password, cut);
}

TEST_F(SiteProp, ProxyButtonEditsTheProxyOfTheSiteAndCancelKeepsIt)
{
    SiteRecord site = *m_connection.Sites().FindSite(L"Home");
    site.SetProxyMode(6);
    site.SetProxyHost(L"fw.local");
    site.SetProxyPort(2100);
    site.SetProxyUser(L"fwuser");
    site.SetProxyPassword(L"fwpass");

    CSiteProp dialog(m_connection);
    dialog.Load(site);
    QStringList modes;
    Run(dialog,
        [&](QDialog& d)
        {
            // Cancelled first: nothing changes.
            WhenShown<CProxyDlg>(
                [](CProxyDlg& p)
                {
                    Retype(p, "host", "other");
                    p.reject();
                });
            d.findChild<QPushButton*>("proxy")->click();
            WhenShown<CProxyDlg>(
                [&](CProxyDlg& p)
                {
                    EXPECT_EQ(p.windowTitle(), "FTP Proxy Server Settings");
                    auto* mode = p.findChild<QComboBox*>("mode");
                    for (int i = 0; i < mode->count(); ++i)
                        modes << mode->itemText(i);
                    EXPECT_EQ(mode->currentIndex(), 6);
                    EXPECT_EQ(Edit(p, "host")->text(), "fw.local");
                    EXPECT_EQ(Edit(p, "port")->text(), "2100");
                    EXPECT_EQ(Edit(p, "user")->text(), "fwuser");
                    EXPECT_EQ(Edit(p, "password")->text(), "fwpass");
                    mode->setCurrentIndex(8);
                    Retype(p, "host", "gate.local");
                    Retype(p, "port", "65536");
                    ClickOk(p);
                    EXPECT_TRUE(p.isVisible());
                    Retype(p, "port", "1021");
                    Retype(p, "user", "gu");
                    Retype(p, "password", "gp");
                    ClickOk(p);
                });
            d.findChild<QPushButton*>("proxy")->click();
            ClickOk(d);
        });
    EXPECT_EQ(modes, (QStringList{"No Proxy", "SITE Hostname", "USER After Logon", "Proxy OPEN",
                                  "Transparent", "USER With no Logon", "USER FireID@Host",
                                  "USER RemoteID@Host FireID", "USER RemoteID@FireID@Host"}));
    EXPECT_EQ(Boxes().Texts(), (std::vector<std::wstring>{L"Please enter an integer between 0 and 65535."}));

    dialog.Store(site);
    EXPECT_EQ(site.ProxyMode(), 8);
    EXPECT_EQ(site.ProxyHost(), L"gate.local");
    EXPECT_EQ(site.ProxyPort(), 1021);
    EXPECT_EQ(site.ProxyUser(), L"gu");
    EXPECT_EQ(site.ProxyPassword(), L"gp");
}

TEST_F(SiteProp, AProxyModeFromAnEditedFileIsKeptUnlessChanged)
{
    CProxyDlg proxy;
    proxy.m_mode = 42;
    Run(proxy,
        [](QDialog& d)
        {
            EXPECT_EQ(d.findChild<QComboBox*>("mode")->currentIndex(), -1);
            ClickOk(d);
        });
    EXPECT_EQ(proxy.m_mode, 42);
}

TEST_F(SiteProp, EncryptionDefaultsToTlsForNewSitesAndToPlainForSitesStoredBeforeIt)
{
    struct Case
    {
        bool storedBefore;
        QString shown;
        int choose;
        nsFTP::Encryption stored;
    };
    for (const Case& c : {Case{false, "Require explicit FTP over TLS", -1, nsFTP::Encryption::Require},
                          Case{true, "Only use plain FTP (insecure)", -1, nsFTP::Encryption::Plain},
                          Case{true, "Only use plain FTP (insecure)", 1, nsFTP::Encryption::Auto}})
    {
        CSiteProp dialog(m_connection);
        dialog.Load(*m_connection.Sites().FindSite(L"Home"));
        if (c.storedBefore)
            dialog.LoadOptions(SiteOptions());
        QStringList entries;
        Run(dialog,
            [&](QDialog& d)
            {
                auto* list = d.findChild<QComboBox*>("encryption");
                for (int i = 0; i < list->count(); ++i)
                    entries << list->itemText(i);
                EXPECT_EQ(list->currentText(), c.shown);
                if (c.choose >= 0)
                    list->setCurrentIndex(c.choose);
                ClickOk(d);
            });
        EXPECT_EQ(entries,
                  QStringList({"Require explicit FTP over TLS", "Use explicit FTP over TLS if available",
                               "Only use plain FTP (insecure)"}));
        SiteOptions options;
        dialog.StoreOptions(options);
        EXPECT_EQ(options.Encryption(), c.stored);
    }
}

TEST_F(SiteProp, ATrustedCertificateIsShownAndCanBeForgotten)
{
    CSiteProp dialog(m_connection);
    dialog.m_label = L"Secure";
    SiteOptions options = SiteOptions::ForNewSite();
    options.SetTrustedFingerprint("AB:CD");
    dialog.LoadOptions(options);
    Run(dialog,
        [&](QDialog& d)
        {
            auto* label = d.findChild<QLabel*>("trustedCertificate");
            EXPECT_TRUE(label->isVisible());
            EXPECT_TRUE(label->text().contains("AB:CD"));
            d.findChild<QPushButton*>("forgetCertificate")->click();
            EXPECT_FALSE(label->isVisible());
            ClickOk(d);
        });
    dialog.StoreOptions(options);
    EXPECT_EQ(options.TrustedFingerprint(), "");
}

TEST_F(SiteProp, ProxyTypesThatSendTheProxyPasswordSaySo)
{
    for (int mode = 0; mode <= 8; ++mode)
    {
        CSiteProp dialog(m_connection);
        dialog.m_label = L"Behind a proxy";
        dialog.m_proxyMode = mode;
        bool warned = false;
        Run(dialog,
            [&](QDialog& d)
            {
                warned = d.findChild<QLabel*>("proxyWarning")->isVisible();
                ClickOk(d);
            });
        const bool sends = mode == 1 || mode == 2 || mode == 4 || mode == 6 || mode == 8;
        EXPECT_EQ(warned, sends) << "proxy mode " << mode;
    }
}
