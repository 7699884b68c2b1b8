#include "sites/dialogs/SiteManager.h"
#include "DialogDriver.h"
#include "platform/Services.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteConnection.h"
#include "sites/dialogs/ProxyDlg.h"
#include "sites/dialogs/SiteProp.h"
#include "support/FileBytes.h"
#include "support/ProcessRunner.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestPki.h"
#include "support/TestServices.h"
#include "widgets/TextDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using platform::BoxAnswer;
using testing_support::Boxes;
using testing_support::ChooseFromMenu;
using testing_support::ClickOk;
using testing_support::WhenShown;

namespace
{
void Retype(QWidget& dialog, const char* name, const QString& text)
{
    auto* edit = dialog.findChild<QLineEdit*>(name);
    ASSERT_NE(edit, nullptr) << name;
    edit->clear();
    QTest::keyClicks(edit, text);
}

void Answer(CTextDlg& prompt, const QString& text)
{
    prompt.Edit()->setText(text);
    ClickOk(prompt);
}

// The events a real double click sends: the second press arrives as a double click.
void DoubleClick(QTreeWidget* tree, QTreeWidgetItem* item)
{
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
}

QStringList Texts(const QTreeWidgetItem* parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

// Sites live in a real settings file for these tests.
class SiteManager : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_store.emplace(File());
        platform::Services::SetSettings(&*m_store);
    }
    // Where tessel-cli finds it too, with XDG_CONFIG_HOME set to the folder.
    QString File() const { return m_folder.filePath("FTPClient/FTPClient.ini"); }
    testing_support::ProcessResult Cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> line = {TESSEL_CLI};
        line.insert(line.end(), args.begin(), args.end());
        const std::string home = m_folder.path().toStdString();
        return testing_support::ProcessRunner::Run(line, "", {{"XDG_CONFIG_HOME", home}, {"HOME", home}});
    }
    void TearDown() override { platform::Services::SetSettings(&testing_support::Settings()); }

    void Store(const SiteRecord& record, const SiteOptions& options = {})
    {
        CSiteList list;
        list.LoadSites();
        ASSERT_GE(list.AddSite(record, options), 0);
    }
    SiteOptions StoredOptions(const std::wstring& label)
    {
        platform::QSettingsStore store(File());
        CSiteList list(store);
        list.LoadSites();
        const SiteOptions* options = list.OptionsAt(list.FindIndex(label));
        return options ? *options : SiteOptions();
    }
    void StoreGroup(const std::wstring& label, int number)
    {
        SiteRecord group;
        group.SetLabel(label);
        group.SetGroupId(number);
        Store(group);
    }
    void StoreSite(const std::wstring& label, int parent = -1)
    {
        SiteRecord site;
        site.SetLabel(label);
        site.SetHost(L"h-" + label);
        site.SetParentGroupId(parent);
        Store(site);
    }
    // What another program would read from the file now.
    std::vector<SiteRecord> Stored()
    {
        platform::QSettingsStore store(File());
        CSiteList list(store);
        list.LoadSites();
        return list.Sites();
    }
    std::optional<SiteRecord> StoredSite(const std::wstring& label)
    {
        for (const SiteRecord& record : Stored())
            if (record.Label() == label)
                return record;
        return std::nullopt;
    }
    QTreeWidgetItem* Item(CSiteManager& manager, const QString& label)
    {
        const auto found = manager.Tree()->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
        return found.size() == 1 ? found.front() : nullptr;
    }
    void Select(CSiteManager& manager, const QString& label)
    {
        QTreeWidgetItem* item = Item(manager, label);
        ASSERT_NE(item, nullptr) << label.toStdString();
        manager.Tree()->setCurrentItem(item);
    }

    QTemporaryDir m_folder;
    std::optional<platform::QSettingsStore> m_store;
    CSiteConnection m_connection;
};
} // namespace

TEST_F(SiteManager, TreeShowsGroupsBeforeSitesByLabelAndStraySitesAtTheRoot)
{
    StoreSite(L"aaa");
    StoreGroup(L"beta", 0);
    StoreSite(L"zed", 0);
    StoreSite(L"Mid", 0);
    StoreGroup(L"Alpha", 3);
    StoreSite(L"lost", 42);
    StoreSite(L"Able");

    CSiteManager manager(m_connection);
    QTreeWidget* tree = manager.Tree();
    EXPECT_EQ(Texts(tree->invisibleRootItem()), (QStringList{"Alpha", "beta", "aaa", "Able", "lost"}));
    EXPECT_EQ(Texts(Item(manager, "beta")), (QStringList{"Mid", "zed"}));
    EXPECT_EQ(Item(manager, "Alpha")->childCount(), 0);

    // Groups and sites carry their own icons, and every item leads to its record.
    const qint64 group = Item(manager, "beta")->icon(0).pixmap(16).toImage().cacheKey();
    EXPECT_NE(group, 0);
    EXPECT_EQ(Item(manager, "beta")->icon(0).pixmap(16).toImage(),
              Item(manager, "Alpha")->icon(0).pixmap(16).toImage());
    EXPECT_NE(Item(manager, "beta")->icon(0).pixmap(16).toImage(),
              Item(manager, "zed")->icon(0).pixmap(16).toImage());
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
    {
        const int index = (*it)->data(0, CSiteManager::IndexRole).toInt();
        EXPECT_EQ(m_connection.Sites().SiteAt(index)->Label(), (*it)->text(0).toStdWString());
    }

    EXPECT_EQ(manager.windowTitle(), "Site Manager");
    EXPECT_TRUE(manager.ConnectButton()->isDefault());
    EXPECT_TRUE(manager.ConnectButton()->font().bold());
}

TEST_F(SiteManager, NewGroupAndNewSiteAreShownAndStoredAtOnce)
{
    CSiteManager manager(m_connection);
    manager.show();

    ChooseFromMenu("New Group");
    WhenShown<CTextDlg>(
        [](CTextDlg& prompt)
        {
            EXPECT_EQ(prompt.windowTitle(), "New Group");
            EXPECT_EQ(prompt.Edit()->text(), "");
            Answer(prompt, "Work");
        });
    manager.NewButton()->click();
    ASSERT_NE(Item(manager, "Work"), nullptr);
    EXPECT_EQ(manager.Tree()->currentItem(), Item(manager, "Work"));
    ASSERT_TRUE(StoredSite(L"Work"));
    EXPECT_EQ(StoredSite(L"Work")->GroupId(), 0);

    ChooseFromMenu("New Site");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "label", "Files");
            Retype(d, "host", "ftp://files.local");
            Retype(d, "port", "2121");
            Retype(d, "login", "me");
            Retype(d, "password", "secret");
            Retype(d, "directory", "/pub");
            d.findChild<QComboBox*>("parentGroup")->setCurrentText("Work");
            WhenShown<CProxyDlg>(
                [](CProxyDlg& p)
                {
                    p.findChild<QComboBox*>("mode")->setCurrentIndex(3);
                    Retype(p, "host", "fw.local");
                    Retype(p, "port", "8021");
                    Retype(p, "user", "fu");
                    Retype(p, "password", "fp");
                    ClickOk(p);
                });
            d.findChild<QPushButton*>("proxy")->click();
            ClickOk(d);
        });
    manager.NewButton()->click();

    QTreeWidgetItem* files = Item(manager, "Files");
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->parent(), Item(manager, "Work"));
    EXPECT_EQ(manager.Tree()->currentItem(), files);
    EXPECT_TRUE(Item(manager, "Work")->isExpanded());

    const auto stored = StoredSite(L"Files");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Host(), L"files.local");
    EXPECT_EQ(stored->Port(), 2121);
    EXPECT_EQ(stored->Login(), L"me");
    EXPECT_EQ(stored->Password(), L"secret");
    EXPECT_EQ(stored->Directory(), L"/pub");
    EXPECT_EQ(stored->Timeout(), 10);
    EXPECT_EQ(stored->Passive(), 1);
    EXPECT_EQ(stored->KeepAlive(), 1);
    EXPECT_EQ(stored->ParentGroupId(), 0);
    EXPECT_EQ(stored->ProxyMode(), 3);
    EXPECT_EQ(stored->ProxyHost(), L"fw.local");
    EXPECT_EQ(stored->ProxyPort(), 8021);
    EXPECT_EQ(stored->ProxyUser(), L"fu");
    EXPECT_EQ(stored->ProxyPassword(), L"fp");
    EXPECT_EQ(StoredOptions(L"Files").Encryption(), nsFTP::Encryption::Require) << "new sites require TLS";
    EXPECT_TRUE(Boxes().Texts().empty());

    // A second manager reads the same tree back from the file.
    CSiteConnection other;
    CSiteManager reopened(other);
    EXPECT_EQ(Texts(reopened.Tree()->invisibleRootItem()), QStringList{"Work"});
    EXPECT_EQ(Texts(Item(reopened, "Work")), QStringList{"Files"});
}

TEST_F(SiteManager, NewGroupRefusesATakenOrEmptyLabelAndCancelAddsNothing)
{
    StoreSite(L"Home");
    CSiteManager manager(m_connection);
    for (const QString& typed : {QString("HOME"), QString("")})
    {
        ChooseFromMenu("New Group");
        WhenShown<CTextDlg>([typed](CTextDlg& prompt) { Answer(prompt, typed); });
        manager.NewButton()->click();
    }
    ChooseFromMenu("New Group");
    WhenShown<CTextDlg>(
        [](CTextDlg& prompt)
        {
            prompt.Edit()->setText("Kept out");
            prompt.reject();
        });
    manager.NewButton()->click();

    EXPECT_EQ(Boxes().Texts(), (std::vector<std::wstring>{L"A site or group with this label already exists.",
                                                          L"The group label cannot be empty."}));
    EXPECT_EQ(manager.Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(Stored().size(), 1u);

    // A group label is cut to what a record holds while it is typed.
    ChooseFromMenu("New Group");
    WhenShown<CTextDlg>(
        [](CTextDlg& prompt)
        {
            QTest::keyClicks(prompt.Edit(), QString(100, QChar('g')));
            ClickOk(prompt);
        });
    manager.NewButton()->click();
    EXPECT_NE(Item(manager, QString(95, QChar('g'))), nullptr);
    EXPECT_TRUE(StoredSite(std::wstring(95, L'g')));
}

TEST_F(SiteManager, EditMovesASiteToAnotherGroupRenamesItAndKeepsItsProxy)
{
    StoreGroup(L"One", 0);
    StoreGroup(L"Two", 1);
    SiteRecord site;
    site.SetLabel(L"Home");
    site.SetHost(L"home.local");
    site.SetParentGroupId(0);
    site.SetProxyMode(2);
    site.SetProxyHost(L"fw");
    site.SetProxyPort(2100);
    Store(site);

    CSiteManager manager(m_connection);
    Select(manager, "Home");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            EXPECT_EQ(d.findChild<QLineEdit*>("host")->text(), "home.local");
            EXPECT_EQ(d.findChild<QComboBox*>("parentGroup")->currentText(), "One");
            Retype(d, "label", "home");
            d.findChild<QComboBox*>("parentGroup")->setCurrentText("Two");
            WhenShown<CProxyDlg>(
                [](CProxyDlg& p)
                {
                    EXPECT_EQ(p.findChild<QLineEdit*>("host")->text(), "fw");
                    EXPECT_EQ(p.findChild<QLineEdit*>("port")->text(), "2100");
                    Retype(p, "user", "fwuser");
                    ClickOk(p);
                });
            d.findChild<QPushButton*>("proxy")->click();
            ClickOk(d);
        });
    manager.EditButton()->click();

    QTreeWidgetItem* moved = Item(manager, "home");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->parent(), Item(manager, "Two"));
    EXPECT_EQ(Item(manager, "One")->childCount(), 0);
    EXPECT_EQ(manager.Tree()->currentItem(), moved);
    EXPECT_TRUE(Boxes().Texts().empty());

    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_FALSE(StoredSite(L"Home"));
    const auto edited = StoredSite(L"home");
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->ParentGroupId(), 1);
    EXPECT_EQ(edited->ProxyMode(), 2);
    EXPECT_EQ(edited->ProxyHost(), L"fw");
    EXPECT_EQ(edited->ProxyPort(), 2100);
    EXPECT_EQ(edited->ProxyUser(), L"fwuser");

    // Cancel leaves record and file alone.
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "host", "changed");
            d.reject();
        });
    manager.EditButton()->click();
    EXPECT_EQ(StoredSite(L"home")->Host(), L"home.local");
    EXPECT_EQ(m_connection.Sites().FindSite(L"home")->Host(), L"home.local");
}

TEST_F(SiteManager, TheEncodingIsKeptByNewEditAndMoveAcrossARestartAndAnOldSiteReadsAsAuto)
{
    StoreGroup(L"One", 0);
    StoreGroup(L"Two", 1);
    // Stored before sites had an encoding: no options beside the record.
    StoreSite(L"Old", 0);

    CSiteManager manager(m_connection);
    manager.show();
    QStringList choices;
    Select(manager, "Old");
    WhenShown<CSiteProp>(
        [&](CSiteProp& d)
        {
            auto* encoding = d.findChild<QComboBox*>("encoding");
            ASSERT_NE(encoding, nullptr);
            for (int i = 0; i < encoding->count(); ++i)
                choices << encoding->itemText(i);
            EXPECT_EQ(encoding->currentIndex(), 0);
            d.reject();
        });
    manager.EditButton()->click();
    EXPECT_EQ(choices.size(), 3);
    EXPECT_TRUE(choices.value(0).startsWith("Auto"));
    EXPECT_EQ(choices.value(1), "UTF-8");
    EXPECT_EQ(choices.value(2), "Latin-1");

    ChooseFromMenu("New Site");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "label", "Vintage");
            Retype(d, "host", "old.example");
            d.findChild<QComboBox*>("encoding")->setCurrentText("Latin-1");
            ClickOk(d);
        });
    manager.NewButton()->click();
    ASSERT_NE(Item(manager, "Vintage"), nullptr);

    // Edited (moved to a group and renamed) without touching the encoding.
    Select(manager, "Vintage");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            EXPECT_EQ(d.findChild<QComboBox*>("encoding")->currentText(), "Latin-1");
            Retype(d, "label", "Vintage 2");
            d.findChild<QComboBox*>("parentGroup")->setCurrentText("Two");
            ClickOk(d);
        });
    manager.EditButton()->click();
    ASSERT_NE(Item(manager, "Vintage 2"), nullptr);

    // Another program (and the next start) reads it from the file.
    platform::QSettingsStore store(File());
    CSiteList list(store);
    list.LoadSites();
    ASSERT_GE(list.FindIndex(L"Vintage 2"), 0);
    EXPECT_EQ(list.OptionsAt(list.FindIndex(L"Vintage 2"))->Encoding(), nsFTP::NameEncoding::Latin1);
    EXPECT_EQ(list.SiteAt(list.FindIndex(L"Vintage 2"))->ParentGroupId(), 1);
    EXPECT_EQ(list.FindIndex(L"Vintage"), -1);
    EXPECT_EQ(list.OptionsAt(list.FindIndex(L"Old"))->Encoding(), nsFTP::NameEncoding::Auto);
    const auto listed = Cli({"sites", "list"});
    EXPECT_NE(listed.out.find("\"label\":\"Vintage 2\""), std::string::npos) << listed.out << listed.err;
    EXPECT_NE(listed.out.find("\"encoding\":\"latin-1\""), std::string::npos) << listed.out;

    // A restarted manager shows the choice; back to Auto is stored as well.
    CSiteConnection other;
    CSiteManager reopened(other);
    reopened.show();
    Select(reopened, "Vintage 2");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            EXPECT_EQ(d.findChild<QComboBox*>("encoding")->currentText(), "Latin-1");
            d.findChild<QComboBox*>("encoding")->setCurrentIndex(0);
            ClickOk(d);
        });
    reopened.EditButton()->click();
    platform::QSettingsStore fresh(File());
    CSiteList reread(fresh);
    reread.LoadSites();
    EXPECT_EQ(reread.OptionsAt(reread.FindIndex(L"Vintage 2"))->Encoding(), nsFTP::NameEncoding::Auto);
    EXPECT_TRUE(Boxes().Texts().empty());
}

TEST_F(SiteManager, EditRenamesAGroupWhoseSitesStayInIt)
{
    StoreGroup(L"Old", 5);
    StoreGroup(L"Other", 6);
    StoreSite(L"s", 5);
    CSiteManager manager(m_connection);

    Select(manager, "Old");
    WhenShown<CTextDlg>(
        [](CTextDlg& prompt)
        {
            EXPECT_EQ(prompt.windowTitle(), "New Group");
            EXPECT_EQ(prompt.Edit()->text(), "Old");
            Answer(prompt, "other");
        });
    manager.EditButton()->click();
    EXPECT_EQ(Boxes().Texts(), std::vector<std::wstring>{L"A site or group with this label already exists."});
    EXPECT_NE(Item(manager, "Old"), nullptr);

    WhenShown<CTextDlg>([](CTextDlg& prompt) { Answer(prompt, "OLD"); });
    manager.EditButton()->click();
    ASSERT_NE(Item(manager, "OLD"), nullptr);
    EXPECT_EQ(Texts(Item(manager, "OLD")), QStringList{"s"});
    EXPECT_FALSE(StoredSite(L"Old"));
    ASSERT_TRUE(StoredSite(L"OLD"));
    EXPECT_EQ(StoredSite(L"OLD")->GroupId(), 5);

    CSiteConnection other;
    CSiteManager reopened(other);
    EXPECT_EQ(Texts(Item(reopened, "OLD")), QStringList{"s"});
}

TEST_F(SiteManager, DeleteAsksFirstAndRefusesAGroupThatHoldsSites)
{
    StoreGroup(L"Full", 0);
    StoreGroup(L"Empty", 1);
    StoreSite(L"inside", 0);
    CSiteManager manager(m_connection);

    Select(manager, "Full");
    manager.DeleteButton()->click();
    Select(manager, "inside");
    Boxes().QueueAnswer(BoxAnswer::Cancel);
    manager.DeleteButton()->click();
    EXPECT_NE(Item(manager, "inside"), nullptr);
    Boxes().QueueAnswer(BoxAnswer::Ok);
    manager.DeleteButton()->click();
    Select(manager, "Empty");
    Boxes().QueueAnswer(BoxAnswer::Ok);
    manager.DeleteButton()->click();

    const auto boxes = Boxes().Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].text, L"The group is not empty.");
    EXPECT_EQ(boxes[0].icon, platform::BoxIcon::Error);
    EXPECT_EQ(boxes[1].text, L"Are you sure you want to delete the selected site from Site Manager?");
    EXPECT_EQ(boxes[1].icon, platform::BoxIcon::Question);
    EXPECT_EQ(boxes[1].buttons, platform::BoxButtons::OkCancel);
    EXPECT_EQ(boxes[3].text, L"Are you sure you want to delete the selected group?");

    EXPECT_EQ(Texts(manager.Tree()->invisibleRootItem()), QStringList{"Full"});
    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Label(), L"Full");
}

TEST_F(SiteManager, ItemsStillLeadToTheirRecordsAfterARemoval)
{
    StoreGroup(L"First", 0);
    StoreGroup(L"Second", 1);
    StoreSite(L"a", 1);
    CSiteManager manager(m_connection);
    Select(manager, "First");
    manager.DeleteButton()->click();

    // The group found through the items must be Second, now record 0.
    ChooseFromMenu("New Site");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "label", "b");
            d.findChild<QComboBox*>("parentGroup")->setCurrentText("Second");
            ClickOk(d);
        });
    manager.NewButton()->click();
    EXPECT_EQ(Texts(Item(manager, "Second")), (QStringList{"a", "b"}));

    Select(manager, "a");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            d.findChild<QComboBox*>("parentGroup")->setCurrentIndex(0);
            ClickOk(d);
        });
    manager.EditButton()->click();
    EXPECT_EQ(Item(manager, "a")->parent(), nullptr);
    for (QTreeWidgetItemIterator it(manager.Tree()); *it; ++it)
    {
        const int index = (*it)->data(0, CSiteManager::IndexRole).toInt();
        ASSERT_NE(m_connection.Sites().SiteAt(index), nullptr);
        EXPECT_EQ(m_connection.Sites().SiteAt(index)->Label(), (*it)->text(0).toStdWString());
    }
}

TEST_F(SiteManager, OkAndEscapeEndWithoutConnectingAndAGroupIsNoConnection)
{
    StoreGroup(L"g", 0);
    CSiteManager manager(m_connection);
    QTimer::singleShot(0, &manager,
                       [&]
                       {
                           Select(manager, "g");
                           DoubleClick(manager.Tree(), Item(manager, "g"));
                           manager.ConnectButton()->click();
                           EXPECT_TRUE(manager.isVisible());
                           manager.accept();
                       });
    EXPECT_EQ(manager.exec(), QDialog::Rejected);
    EXPECT_TRUE(manager.ResultText().empty());
    EXPECT_FALSE(m_connection.IsConnected());

    QTimer::singleShot(0, &manager, [&] { QTest::keyClick(&manager, Qt::Key_Escape); });
    EXPECT_EQ(manager.exec(), QDialog::Rejected);
}

TEST_F(SiteManager, WhatAnotherProgramChangedMeanwhileStays)
{
    StoreSite(L"Keep");
    StoreSite(L"Gone");
    CSiteManager manager(m_connection);
    // tessel-cli runs while the Site Manager is open: after its load, before its saves.
    const auto added = Cli({"sites", "add", "--label", "Script", "--host", "script.example"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    ASSERT_EQ(Cli({"sites", "remove", "Gone"}).exitCode, 0);

    ChooseFromMenu("New Site");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "label", "Mine");
            Retype(d, "host", "mine.example");
            ClickOk(d);
        });
    manager.NewButton()->click();
    Select(manager, "Keep");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "host", "kept.example");
            ClickOk(d);
        });
    manager.EditButton()->click();
    EXPECT_TRUE(Boxes().Texts().empty());

    // Both programs' sites are stored, and the removed one is not brought back.
    QStringList stored;
    for (const SiteRecord& record : Stored())
        stored << QString::fromStdWString(record.Label());
    EXPECT_EQ(stored, (QStringList{"Keep", "Mine", "Script"}));
    EXPECT_EQ(StoredSite(L"Keep")->Host(), L"kept.example");
    EXPECT_EQ(StoredSite(L"Script")->Host(), L"script.example");
    // The open dialog shows what it changed; the next one shows everything.
    EXPECT_EQ(Texts(manager.Tree()->invisibleRootItem()), (QStringList{"Gone", "Keep", "Mine"}));
    CSiteConnection other;
    CSiteManager reopened(other);
    EXPECT_EQ(Texts(reopened.Tree()->invisibleRootItem()), (QStringList{"Keep", "Mine", "Script"}));
}

TEST_F(SiteManager, DamageIsToldOnceAndTheReadableSitesShow)
{
    StoreSite(L"Alpha");
    StoreSite(L"Bravo");
    const std::filesystem::path file = File().toStdString();
    testing_support::WriteFile(file, testing_support::ReadFile(file) + "\x01\x02 not a line\n");

    CSiteManager manager(m_connection);
    EXPECT_EQ(Texts(manager.Tree()->invisibleRootItem()), (QStringList{"Alpha", "Bravo"}));
    const auto& damage = m_connection.Sites().Damage();
    ASSERT_EQ(Boxes().Texts().size(), 1u);
    EXPECT_EQ(Boxes().Texts()[0],
              L"The settings file " + file.wstring() +
                  L" could not be read in full: 1 entries were skipped. A copy was kept as " + damage.copy +
                  L".");
    EXPECT_EQ(Boxes().Boxes()[0].icon, platform::BoxIcon::Error);
    EXPECT_TRUE(std::filesystem::exists(damage.copy));

    CSiteManager again(m_connection);
    EXPECT_EQ(Boxes().Texts().size(), 1u);
}

TEST_F(SiteManager, ASaveThatFailsIsToldAndTheTreeStaysAsItWas)
{
    StoreGroup(L"Group", 0);
    StoreSite(L"Site");
    ::chmod(QFile::encodeName(File()).constData(), 0400);
    CSiteManager manager(m_connection);

    ChooseFromMenu("New Group");
    WhenShown<CTextDlg>([](CTextDlg& prompt) { Answer(prompt, "New"); });
    manager.NewButton()->click();
    Select(manager, "Site");
    WhenShown<CSiteProp>(
        [](CSiteProp& d)
        {
            Retype(d, "label", "Renamed");
            ClickOk(d);
        });
    manager.EditButton()->click();
    Boxes().QueueAnswer(BoxAnswer::Ok);
    manager.DeleteButton()->click();

    std::vector<std::wstring> errors;
    for (const auto& box : Boxes().Boxes())
        if (box.icon == platform::BoxIcon::Error)
            errors.push_back(box.text);
    const std::wstring failure =
        L"The settings file " + File().toStdWString() + L" could not be saved: the file is read-only.";
    EXPECT_EQ(errors, std::vector<std::wstring>(3, failure));
    EXPECT_EQ(Texts(manager.Tree()->invisibleRootItem()), (QStringList{"Group", "Site"}));
    EXPECT_EQ(m_connection.Sites().FindSite(L"Site")->Label(), L"Site");
    ::chmod(QFile::encodeName(File()).constData(), 0600);
}

class SiteManagerConnect : public SiteManager
{
protected:
    testing_support::PyFtpdServer m_server;

    void StoreServerSite(const std::wstring& label, const std::wstring& password)
    {
        std::filesystem::create_directories(std::filesystem::path(m_server.Root()) / "pub" / "in");
        SiteRecord site;
        site.SetLabel(label);
        site.SetHost(L"127.0.0.1");
        site.SetPort(m_server.Port());
        site.SetLogin(L"tessel");
        site.SetPassword(password);
        site.SetTimeout(5);
        site.SetDirectory(L"pub/in");
        Store(site);
    }
};

TEST_F(SiteManagerConnect, DoubleClickConnectsAndEndsWithTheTitleText)
{
    StoreServerSite(L"Local", L"tessel-secret");
    CSiteManager manager(m_connection);
    QTimer::singleShot(0, &manager,
                       [&]
                       {
                           Select(manager, "Local");
                           DoubleClick(manager.Tree(), Item(manager, "Local"));
                           // Still open means the connect failed: end it so the test reports that.
                           if (manager.isVisible())
                               manager.reject();
                       });
    ASSERT_EQ(manager.exec(), QDialog::Accepted) << m_server.Log() << Boxes().Count();
    EXPECT_EQ(manager.ResultText(), L"Local (127.0.0.1:" + std::to_wstring(m_server.Port()) + L")");
    EXPECT_TRUE(m_connection.IsConnected());
    EXPECT_EQ(m_connection.CurrentSite().Label(), L"Local");
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/pub/in");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SiteManagerConnect, AFailedConnectLeavesTheDialogOpen)
{
    StoreServerSite(L"Wrong", L"not-the-password");
    CSiteManager manager(m_connection);
    bool openAfterConnect = false;
    QTimer::singleShot(0, &manager,
                       [&]
                       {
                           Select(manager, "Wrong");
                           manager.ConnectButton()->click();
                           openAfterConnect = manager.isVisible();
                           manager.reject();
                       });
    EXPECT_EQ(manager.exec(), QDialog::Rejected);
    EXPECT_TRUE(openAfterConnect);
    EXPECT_TRUE(manager.ResultText().empty());
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_FALSE(Boxes().Texts().empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A self-signed server: the worker that logs on asks, the answer is kept
// with the site, and the next connect asks nothing.
TEST_F(SiteManager, ASelfSignedCertificateIsAskedAboutOnceAndRememberedWithTheSite)
{
    testing_support::TempFolder pkiFolder("tessel-pki");
    testing_support::TestPki pki(pkiFolder.Path().string());
    const auto identity = pki.Issue("self", {.selfSigned = true});
    testing_support::PyFtpdOptions serverOptions;
    serverOptions.tlsCert = identity.certFile;
    serverOptions.tlsKey = identity.keyFile;
    serverOptions.tlsRequired = true;
    testing_support::PyFtpdServer server(serverOptions);
    SiteRecord site;
    site.SetLabel(L"Secure");
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetLogin(L"tessel");
    site.SetPassword(L"tessel-secret");
    site.SetTimeout(5);
    Store(site, SiteOptions::ForNewSite());
    testing_support::CertificatePrompt().SetAnswer(true);

    for (int round = 0; round < 2; ++round)
    {
        CSiteManager manager(m_connection);
        QTimer::singleShot(0, &manager,
                           [&]
                           {
                               Select(manager, "Secure");
                               manager.ConnectButton()->click();
                               if (manager.isVisible())
                                   manager.reject();
                           });
        ASSERT_EQ(manager.exec(), QDialog::Accepted) << server.Log();
        EXPECT_TRUE(m_connection.Security().encrypted);
        m_connection.Disconnect();
        const auto questions = testing_support::CertificatePrompt().Questions();
        ASSERT_EQ(questions.size(), 1u) << "asked once, on the first connect";
        EXPECT_EQ(std::string(questions[0].fingerprint.begin(), questions[0].fingerprint.end()),
                  identity.fingerprint);
        EXPECT_EQ(StoredOptions(L"Secure").TrustedFingerprint(), identity.fingerprint);
        EXPECT_EQ(StoredOptions(L"Secure").Encryption(), nsFTP::Encryption::Require);
    }
}
