#include "RemoteFind.h"

#include "RemoteBrowser.h"
#include "RemotePath.h"
#include "RowOrder.h"
#include "TransferList.h"
#include "ftp/FTPClient.h"
#include "sites/SiteConnection.h"

#include <algorithm>
#include <set>

static_assert(CRemoteFind::MaxDepth == CTransferList::MaxDepth);

CRemoteFind::CRemoteFind(CSiteConnection& connection, FindCriteria criteria, IFindReport& report)
    : m_connection(connection), m_criteria(std::move(criteria)), m_test(m_criteria), m_report(report)
{
}

FindOutcome CRemoteFind::Run(const std::wstring& folder, const std::vector<BrowserRow>& rows)
{
    const CSiteConnection::BusyScope busy(m_connection);
    std::vector<FoundEntry> entries;
    entries.reserve(rows.size());
    for (const auto& row : rows)
    {
        entries.push_back({row, nsSP::RCIPtr<nsFTP::CFTPFileStatus>()});
        entries.back().row.path = folder;
    }
    if (!m_test.Blank())
        Walk(folder, entries, 1);
    return Finish();
}

FindOutcome CRemoteFind::Run(const std::wstring& folder)
{
    const CSiteConnection::BusyScope busy(m_connection);
    std::vector<FoundEntry> entries;
    std::wstring why;
    if (Stopping())
        m_outcome.end = FindOutcome::Stopped;
    else if (!ListFolder(folder, entries, why))
    {
        m_outcome.end = Stopping() ? FindOutcome::Stopped : FindOutcome::NotListed;
        m_outcome.why = why;
    }
    else if (!m_test.Blank())
        Walk(folder, entries, 1);
    return Finish();
}

FindOutcome CRemoteFind::Finish()
{
    Flush();
    return m_outcome;
}

bool CRemoteFind::Stopping() const
{
    return m_stop.load() || m_connection.Engine().StopRequested();
}

bool CRemoteFind::Walk(const std::wstring& folder, std::vector<FoundEntry>& entries, int level)
{
    for (const FoundEntry& entry : entries)
    {
        if (Stopping())
        {
            m_outcome.end = FindOutcome::Stopped;
            return false;
        }
        const BrowserRow& row = entry.row;
        ++m_outcome.examined;
        if (m_test.Matches(m_connection.Names().Decode(row.displayName)))
        {
            m_pending.push_back(entry);
            if (++m_outcome.found >= MaxResults)
            {
                m_outcome.end = FindOutcome::TooManyResults;
                return false;
            }
        }
        // A link is never entered: its listed text names no folder, and what
        // it leads to may hold the link itself. A name holding "/" would lead
        // somewhere else than into this folder.
        const bool enter = m_criteria.subfolders && row.isDirectory && !row.isLink && !row.name.empty() &&
                           row.name.find(L'/') == std::wstring::npos;
        if (enter && level >= MaxDepth)
            m_outcome.tooDeep = true;
        const bool list = enter && level < MaxDepth;
        MaybeReport(row, list);
        if (!list)
            continue;

        const std::wstring path = RemotePath::Join(folder, row.name);
        std::vector<FoundEntry> children;
        std::wstring why;
        if (!ListFolder(path, children, why))
        {
            if (Stopping())
            {
                m_outcome.end = FindOutcome::Stopped;
                return false;
            }
            if (!m_connection.IsConnected())
            {
                m_outcome.end = FindOutcome::ConnectionLost;
                m_outcome.why = why;
                return false;
            }
            if (m_outcome.unreadable++ == 0)
            {
                m_outcome.firstUnreadable = ForPeople(path, m_connection.Names());
                m_outcome.why = why;
            }
            m_report.Unreadable(ForPeople(path, m_connection.Names()), why);
            continue;
        }
        if (!Walk(path, children, level + 1))
            return false;
    }
    return true;
}

bool CRemoteFind::ListFolder(const std::wstring& folder, std::vector<FoundEntry>& entries, std::wstring& why)
{
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    {
        // Kept, not shown: a search meets many folders, and says what it met at the end.
        const nsFTP::CFTPClient::ErrorCapture capture(m_connection.Engine());
        if (!m_connection.List(folder, records))
        {
            why = capture.Joined();
            return false;
        }
    }
    std::vector<BrowserRow> rows;
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> kept;
    rows.reserve(records.size());
    kept.reserve(records.size());
    BrowserRow row;
    for (auto& record : records)
        if (record && CRemoteBrowser::MakeRow(*record, m_connection.Names(), row))
        {
            row.path = folder;
            rows.push_back(std::move(row));
            kept.push_back(std::move(record));
        }
    entries.clear();
    entries.reserve(rows.size());
    for (const size_t index : CRowOrder::Of(rows))
        entries.push_back({std::move(rows[index]), std::move(kept[index])});
    return true;
}

void CRemoteFind::MaybeReport(const BrowserRow& row, bool beforeListing)
{
    const auto now = std::chrono::steady_clock::now();
    if (now >= m_nextReport)
    {
        Flush();
        m_report.Examining(ShownPath(row));
        m_nextReport = now + ReportInterval;
    }
    else if (beforeListing)
        Flush();
}

void CRemoteFind::Flush()
{
    if (m_pending.empty())
        return;
    m_report.Found(std::move(m_pending));
    m_pending.clear();
}

std::wstring CRemoteFind::ForPeople(const std::wstring& remote, const nsFTP::CNameCodec& names)
{
    return names.Show(remote);
}

std::wstring CRemoteFind::ShownPath(const BrowserRow& row, const nsFTP::CNameCodec& names)
{
    return ForPeople(RemotePath::Join(row.path, row.displayName), names);
}

int CRemoteFind::RowFor(const std::vector<BrowserRow>& rows, const BrowserRow& found)
{
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].displayName == found.displayName)
            return static_cast<int>(i);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].name == found.name)
            return static_cast<int>(i);
    return -1;
}

std::unique_ptr<CTransferList> CRemoteFind::DeleteList(CSiteConnection& connection,
                                                       const std::vector<BrowserRow>& rows)
{
    // Folders whose contents go with them; a link's do not.
    std::set<std::wstring> folders;
    for (const auto& row : rows)
        if (row.isDirectory && !row.isLink)
            folders.insert(RemotePath::Join(row.path, row.name));
    auto insidePicked = [&](const std::wstring& path)
    {
        for (size_t slash = path.find(L'/', 1); slash != std::wstring::npos;
             slash = path.find(L'/', slash + 1))
            if (folders.count(path.substr(0, slash)))
                return true;
        return false;
    };
    auto list = std::make_unique<CTransferList>(&connection);
    std::set<std::wstring> added;
    for (const auto& row : rows)
    {
        const std::wstring path = RemotePath::Join(row.path, row.name);
        if (insidePicked(path) || !added.insert(path).second)
            continue;
        list->AddRow(row);
    }
    return list;
}

std::wstring CRemoteFind::EndText(const FindOutcome& outcome)
{
    std::wstring text;
    switch (outcome.end)
    {
    case FindOutcome::Completed:
    case FindOutcome::Stopped:
        break;
    case FindOutcome::ConnectionLost:
        text = L"The connection to the server was lost, so the search ended.";
        break;
    case FindOutcome::TooManyResults:
        text = L"The search stopped at " + std::to_wstring(MaxResults) + L" results.";
        break;
    case FindOutcome::NotListed:
        text = L"The folder could not be listed.";
        break;
    }
    auto add = [&text](const std::wstring& more) { text += (text.empty() ? L"" : L" ") + more; };
    if (outcome.unreadable == 1)
        add(L"1 folder could not be read: " + outcome.firstUnreadable);
    else if (outcome.unreadable > 1)
        add(std::to_wstring(outcome.unreadable) + L" folders could not be read, the first: " +
            outcome.firstUnreadable);
    if (outcome.tooDeep)
        add(L"Folders more than " + std::to_wstring(MaxDepth) + L" levels down were not searched.");
    return text;
}
