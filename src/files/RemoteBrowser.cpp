#include "RemoteBrowser.h"

#include "RemotePath.h"
#include "RowOrder.h"
#include "ftp/FTPFileStatus.h"
#include "ftp/NameCodec.h"
#include "platform/IShellOpener.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/CaseFold.h"
#include "sites/IEngineRunner.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

using platform::CaseFold;
using platform::TextCodec;

namespace
{
const std::wstring WhiteSpace = L" \t\r\n\f\v";

std::wstring Trim(const std::wstring& text)
{
    const auto first = text.find_first_not_of(WhiteSpace);
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(WhiteSpace) - first + 1);
}

// The folded type of a shown name: from its last dot on, or empty.
std::wstring TypeOf(const std::wstring& trimmedName)
{
    const size_t dot = trimmedName.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring()
                                     : CaseFold::Fold(std::wstring_view(trimmedName).substr(dot));
}
} // namespace

CRemoteBrowser::CRemoteBrowser(CSiteConnection& connection, IEngineRunner& runner)
    : m_connection(connection), m_runner(runner)
{
}

CRemoteBrowser::~CRemoteBrowser() = default;

void CRemoteBrowser::ReadNames(BrowserRow& row, const nsFTP::CNameCodec& names)
{
    row.displayText = names.Show(row.displayName);
    // Most names are no link: one reading serves both.
    row.nameText = row.name == row.displayName ? row.displayText : names.Show(row.name);
}

bool CRemoteBrowser::MakeRow(const nsFTP::CFTPFileStatus& record, const nsFTP::CNameCodec& names,
                             BrowserRow& row)
{
    if (record.Name == L"." || record.Name == L"..")
        return false;
    row.isDirectory = record.TryCwd;
    row.isLink = !record.Attributes.empty() && record.Attributes[0] == L'l';
    row.size = record.SizeType != 0 ? record.Size : -1;
    row.modified = record.ModificationTime;
    row.path = record.Path;
    row.name = RemotePath::LinkName(record.Name, row.isLink);
    row.displayName = record.Name;
    row.attributes = record.Attributes;
    row.owner = record.Owner;
    ReadNames(row, names);
    return true;
}

void CRemoteBrowser::SortRows(std::vector<BrowserRow>& rows)
{
    CRowOrder::Sort(rows);
}

void CRemoteBrowser::SetRows(const std::vector<BrowserRow>& rows)
{
    m_rows = rows;
    for (auto& row : m_rows)
        ReadNames(row, m_connection.Names());
    SortRows(m_rows);
    Changed();
}

void CRemoteBrowser::SetFilter(const BrowserFilter& filter)
{
    m_filter = filter;
    Changed();
}

void CRemoteBrowser::Show(RemoteFolder folder)
{
    m_rows = std::move(folder.rows);
    m_folder = std::move(folder.path);
    Changed();
}

void CRemoteBrowser::Clear()
{
    m_rows.clear();
    m_folder.clear();
    Changed();
}

void CRemoteBrowser::Changed()
{
    m_shown = Filter(m_filter);
    // Nothing held (after a disconnect): the panes say nothing.
    if (m_folder.empty() && m_rows.empty())
        for (int pane = 1; pane <= 3; ++pane)
            platform::Services::SetStatusText(pane, L"");
    else
        PostCounts(m_shown);
    if (m_changed)
        m_changed();
}

RemoteFolder CRemoteBrowser::ReadFolder()
{
    RemoteFolder folder;
    folder.path = m_connection.CurrentDirectory();
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    if (!m_connection.List(folder.path, records))
        return folder;
    folder.listed = true;
    folder.rows.reserve(records.size());
    const nsFTP::CNameCodec names = m_connection.Names();
    BrowserRow row;
    for (const auto& record : records)
        if (record && MakeRow(*record, names, row))
            folder.rows.push_back(std::move(row));
    SortRows(folder.rows);
    return folder;
}

BrowserShown CRemoteBrowser::Filter(const BrowserFilter& filter) const
{
    BrowserShown shown;
    shown.visible.reserve(m_rows.size());
    const std::wstring text = CaseFold::Fold(filter.text);
    const std::wstring type = CaseFold::Fold(filter.type);
    // An entry is gathered only when no entry gathered so far begins with it.
    std::set<std::wstring> known;
    auto knownStartingWith = [&](const std::wstring& candidate)
    {
        auto it = known.lower_bound(candidate);
        return it != known.end() && it->compare(0, candidate.size(), candidate) == 0;
    };
    for (size_t i = 0; i < m_rows.size(); ++i)
    {
        const BrowserRow& row = m_rows[i];
        const std::wstring name = Trim(row.displayText);
        const std::wstring rowType = TypeOf(name);
        if (!type.empty())
        {
            if (!row.isDirectory && rowType != type)
                continue;
        }
        else if (!rowType.empty() && static_cast<int>(known.size()) < MaxGatheredTypes &&
                 !knownStartingWith(rowType))
        {
            known.insert(rowType);
            shown.types.push_back(rowType);
        }
        if ((filter.show == BrowserFilter::FilesOnly && row.isDirectory) ||
            (filter.show == BrowserFilter::FoldersOnly && !row.isDirectory))
            continue;
        if (!text.empty() && CaseFold::Fold(name).find(text) == std::wstring::npos)
            continue;
        shown.visible.push_back(static_cast<int>(i));
        if (!row.isLink)
            ++(row.isDirectory ? shown.directories : shown.files);
        if (row.size > 0)
            shown.bytes += row.size;
    }
    return shown;
}

void CRemoteBrowser::PostCounts(const BrowserShown& shown)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"Directories: %lld", shown.directories);
    platform::Services::SetStatusText(1, text);
    std::swprintf(text, 64, L"Files: %lld", shown.files);
    platform::Services::SetStatusText(2, text);
    std::swprintf(text, 64, L"%lld bytes", shown.bytes);
    platform::Services::SetStatusText(3, text);
}

std::vector<std::wstring> CRemoteBrowser::FolderChain(const std::wstring& current, const std::wstring& home,
                                                      int& selected)
{
    std::vector<std::wstring> chain;
    selected = -1;
    // A server may report any path: the chain stays small whatever it says.
    std::vector<size_t> slashes;
    if (current.size() <= MaxChainPath)
        for (size_t slash = current.find(L'/'); slash != std::wstring::npos;
             slash = current.find(L'/', slash + 1))
            slashes.push_back(slash);
    if (slashes.size() > MaxChainLevels)
        slashes.erase(slashes.begin() + 1, slashes.end() - (MaxChainLevels - 1));
    for (const size_t slash : slashes)
    {
        std::wstring folder = slash == 0 ? L"/" : current.substr(0, slash);
        // "//" in a path would give the same folder twice.
        if (chain.empty() || chain.back() != folder)
            chain.push_back(std::move(folder));
    }
    if (!current.empty() && current != L"/" && (chain.empty() || chain.back() != current))
        chain.push_back(current);
    // Exact comparison: a home of /a is not the folder /ab.
    if (!home.empty() && std::find(chain.begin(), chain.end(), home) == chain.end())
        chain.insert(chain.begin(), home);
    if (!current.empty())
        for (size_t i = 0; i < chain.size(); ++i)
            if (chain[i] == current)
                selected = static_cast<int>(i);
    return chain;
}

std::wstring CRemoteBrowser::ParentFolder(const std::wstring& current)
{
    int selected = -1;
    const auto chain = FolderChain(current, {}, selected);
    return selected > 0 ? chain[selected - 1] : std::wstring();
}

std::wstring CRemoteBrowser::ShowPath(const std::wstring& path) const
{
    return m_connection.Names().Show(path);
}

std::vector<std::wstring> CRemoteBrowser::FolderChoices(int& selected) const
{
    return FolderChain(m_folder, m_folder.empty() ? std::wstring() : m_connection.HomeDirectory(), selected);
}

bool CRemoteBrowser::Refresh()
{
    if (!m_connection.IsConnected())
        return false;
    RemoteFolder folder;
    if (!m_runner.Run(L"Listing " + (m_folder.empty() ? std::wstring(L"the folder") : ShowPath(m_folder)),
                      [&] { folder = ReadFolder(); }))
        return false;
    const bool listed = folder.listed;
    Show(std::move(folder));
    return listed;
}

bool CRemoteBrowser::GoTo(const std::wstring& path)
{
    if (!m_connection.IsConnected())
        return false;
    bool entered = false;
    RemoteFolder folder;
    const bool ran = m_runner.Run(L"Opening " + ShowPath(path),
                                  [&]
                                  {
                                      entered = m_connection.ChangeDirectory(path);
                                      // A CWD that lost the connection has nothing to list.
                                      if (entered && m_connection.IsConnected())
                                          folder = ReadFolder();
                                  });
    if (!ran || !entered)
        return false;
    Show(std::move(folder));
    return true;
}

void CRemoteBrowser::OpenRow(int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= static_cast<int>(m_rows.size()) || !m_connection.IsConnected())
        return;
    const BrowserRow row = m_rows[rowIndex]; // entering a folder replaces the rows
    if (row.isDirectory)
        GoTo(RemotePath::Join(row.path, row.name, L'/'));
    else
        DownloadAndOpen(row);
}

bool CRemoteBrowser::DownloadAndOpen(const BrowserRow& row)
{
    // The name comes from the server: it must stay one name inside the folder.
    if (!RemotePath::IsSafeLocalName(row.name))
    {
        platform::Services::ShowError(L"The name \"" + row.nameText + L"\" cannot be used for a local file.");
        return false;
    }
    const std::wstring folder = TemporaryDirectory();
    // The job writes the name's bytes as the server sent them; this is that file.
    std::string bytes = TextCodec::ToPathBytes(folder);
    if (bytes.empty() || bytes.back() != '/')
        bytes += '/';
    bytes += TextCodec::ToLatin1(row.name);
    const std::wstring target = TextCodec::FromPathBytes(bytes);
    const std::wstring shown = nsFTP::CNameCodec::ShowLocalBytes(bytes);
    std::error_code error;
    const std::filesystem::path local(bytes);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(local, error)))
    {
        platform::Services::ShowError(L"A folder of that name is in the way:\n" + shown);
        return false;
    }
    std::filesystem::remove(local, error);
    if (!m_download || !m_download(m_connection, row, RemotePath::Join(row.path, row.name, L'/'), folder))
        return false;
    if (m_opener && !m_opener->Open(target))
    {
        platform::Services::ShowError(L"No program could be started for the file:\n" + shown);
        return false;
    }
    return true;
}

void CRemoteBrowser::GoToTypedPath(std::wstring text)
{
    if (text.size() > 1 && (text.back() == L'/' || text.back() == L'\\'))
        text.pop_back();
    std::wstring path;
    if (!m_connection.Names().EncodeEdited(text, m_folder, path))
    {
        platform::Services::ShowError(nsFTP::CNameCodec::CannotEncodeText(text));
        return;
    }
    if (path.empty() || path == m_folder)
        return;
    GoTo(path);
}

void CRemoteBrowser::Up()
{
    // The parent by the path itself, not the chooser's entry above: that may
    // be the home folder put first.
    const std::wstring parent = ParentFolder(m_folder);
    if (!parent.empty())
        GoTo(parent);
}

std::wstring CRemoteBrowser::SelectedDirectoryOrCurrent(int rowIndex) const
{
    if (!m_connection.IsConnected())
        return {};
    if (rowIndex >= 0 && rowIndex < static_cast<int>(m_rows.size()) && m_rows[rowIndex].isDirectory)
        return RemotePath::Join(m_rows[rowIndex].path, m_rows[rowIndex].name, L'/');
    return m_folder;
}
