#include "files/RemoteBrowser.h"
#include "sites/DirectEngineRunner.h"
#include "sites/SiteConnection.h"
#include "support/BrowserRows.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "widgets/BrowserListModel.h"
#include "widgets/ListCtrlEx.h"

#include <QDateTime>
#include <QHeaderView>
#include <QIcon>
#include <QLocale>
#include <QTreeView>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <utime.h>

namespace fs = std::filesystem;

using testing_support::Row;

namespace
{
// The model over a browser's rows, as the window fills it.
class BrowserModel : public testing::Test
{
protected:
    void Fill(std::vector<BrowserRow> rows, const BrowserFilter& filter = {})
    {
        m_browser.SetRows(rows);
        m_model.SetRows(&m_browser.Rows(), m_browser.Filter(filter).visible);
    }

    CSiteConnection m_connection;
    CDirectEngineRunner m_runner;
    CRemoteBrowser m_browser{m_connection, m_runner};
    CBrowserListModel m_model;
};
} // namespace

TEST_F(BrowserModel, ListItemsLeadBackToTheirRowsWhenRowsAreHidden)
{
    BrowserFilter filesOnly;
    filesOnly.show = BrowserFilter::FilesOnly;
    Fill({Row(L"dir", true), Row(L"a.txt", false), Row(L"b.dat", false)}, filesOnly);
    ASSERT_EQ(m_model.rowCount(), 2);
    const int index = m_model.data(m_model.index(1, 0), CBrowserListModel::RowIndexRole).toInt();
    EXPECT_EQ(m_browser.Rows()[index].name, L"b.dat");
    EXPECT_EQ(m_model.RowIndex(5), -1);
}

TEST_F(BrowserModel, ModelShowsFiveColumnsWithSizesRightAligned)
{
    Fill({Row(L"big", false, 1536)});
    ASSERT_EQ(m_model.columnCount(), 5);
    EXPECT_EQ(m_model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "Attributes");
    EXPECT_EQ(m_model.data(m_model.index(0, 2), Qt::DisplayRole).toString(), "1.50 Kb");
    EXPECT_TRUE(m_model.data(m_model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignRight);
    EXPECT_FALSE(m_model.data(m_model.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    // The list control takes its first widths from the model, and the
    // headings stay tall enough to be read.
    CListCtrlEx list;
    list.SetModel(&m_model);
    EXPECT_EQ(list.ColumnWidth(0), 180);
    EXPECT_GE(list.DetailsView()->header()->sizeHint().height(), list.fontMetrics().height());
}

TEST_F(BrowserModel, RowsOfOneKindShareOneIcon)
{
    Fill({Row(L"d1", true), Row(L"d2", true), Row(L"a.txt", false), Row(L"B.TXT", false),
          Row(L"c.zip", false)});
    auto icon = [this](int row)
    { return m_model.data(m_model.index(row, 0), Qt::DecorationRole).value<QIcon>(); };
    EXPECT_EQ(icon(0).cacheKey(), icon(1).cacheKey());
    EXPECT_EQ(icon(2).cacheKey(), icon(3).cacheKey());
    EXPECT_NE(icon(0).cacheKey(), icon(2).cacheKey());
}

// Times are shown as the server listed them, whatever the local zone.
TEST_F(BrowserModel, TimesShowTheListedClockInAnyTimeZone)
{
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    setenv("TZ", "Asia/Kolkata", 1);
    tzset();

    testing_support::PyFtpdServer server;
    fs::create_directories(fs::path(server.Root()) / "t");
    std::ofstream(fs::path(server.Root()) / "t/when.txt") << "w";
    // pyftpdlib lists UTC times; a recent file shows hours and minutes.
    const std::time_t stamp = (std::time(nullptr) - 86400) / 60 * 60;
    const utimbuf times{stamp, stamp};
    ASSERT_EQ(utime((fs::path(server.Root()) / "t/when.txt").c_str(), &times), 0);
    ASSERT_TRUE(m_connection.Connect(testing_support::FixtureSite(server, 5))) << server.Log();
    ASSERT_TRUE(m_browser.GoTo(L"/t"));
    m_model.SetRows(&m_browser.Rows(), m_browser.Filter({}).visible);
    ASSERT_EQ(m_model.rowCount(), 1);
    std::tm listed{};
    gmtime_r(&stamp, &listed);
    const QDateTime expected(QDate(listed.tm_year + 1900, listed.tm_mon + 1, listed.tm_mday),
                             QTime(listed.tm_hour, listed.tm_min));
    EXPECT_EQ(m_model.data(m_model.index(0, 1), Qt::DisplayRole).toString(),
              QLocale().toString(expected, QLocale::ShortFormat));

    if (oldZone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
