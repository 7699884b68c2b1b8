#include "RemoteCommands.h"

#include "FileMode.h"
#include "IFileCommandHost.h"
#include "RemoteBrowser.h"
#include "RemotePath.h"
#include "TransferList.h"
#include "ftp/NameCodec.h"
#include "platform/Services.h"
#include "sites/IEngineRunner.h"
#include "sites/SiteConnection.h"
#include "sites/SizeText.h"

#include <algorithm>
#include <memory>

using platform::Services;

const std::wstring CRemoteCommands::DeleteQuestion = L"Are you sure you want to delete the selected items?";
const std::wstring CRemoteCommands::BadNameText =
    L"A name cannot be empty, \".\" or \"..\", and cannot hold \"/\" or control characters.";
const std::wstring CRemoteCommands::BadModeText =
    L"The manual value must be three or four octal digits (0 to 7), for example 644 or 0755.";
const std::wstring CRemoteCommands::BadTargetText = L"A folder name cannot hold control characters.";

namespace
{
bool HoldsControlCharacters(const std::wstring& text)
{
    for (const wchar_t c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::wstring FullPath(const BrowserRow& row)
{
    return RemotePath::Join(row.path, row.name);
}
} // namespace

CRemoteCommands::CRemoteCommands(CSiteConnection& connection, IEngineRunner& runner, CRemoteBrowser& browser,
                                 IFileCommandHost& host)
    : m_connection(connection), m_runner(runner), m_browser(browser), m_host(host)
{
}

// Without a folder of its own a command would act on "" and land at the root.
bool CRemoteCommands::Ready() const
{
    return m_connection.IsConnected() && !m_browser.Folder().empty();
}

std::vector<BrowserRow> CRemoteCommands::PickedRows(const std::vector<int>& picked) const
{
    // The list shows the rows it shows in the rows' own order, so row order
    // is list order, however the user picked them.
    std::vector<int> order = picked;
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::vector<BrowserRow> rows;
    const auto& all = m_browser.Rows();
    for (const int index : order)
        if (index >= 0 && index < static_cast<int>(all.size()))
            rows.push_back(all[index]);
    return rows;
}

void CRemoteCommands::RunThenShow(const std::wstring& what, const std::function<bool()>& work)
{
    bool changed = false;
    RemoteFolder folder;
    const bool ran = m_runner.Run(what,
                                  [&]
                                  {
                                      changed = work();
                                      if (changed && m_connection.IsConnected())
                                          folder = m_browser.ReadFolder();
                                  });
    if (ran && changed)
        m_browser.Show(std::move(folder));
}

std::wstring CRemoteCommands::SizeWithBytes(std::int64_t size)
{
    return ::SizeWithBytes(size);
}

void CRemoteCommands::NewDirectory(const std::vector<int>& picked)
{
    if (!Ready())
        return;
    const auto rows = PickedRows(picked);
    const std::wstring target =
        !rows.empty() && rows.front().isDirectory ? FullPath(rows.front()) : m_browser.Folder();
    std::wstring typed;
    if (!m_host.Prompt(L"New Directory", typed))
        return;
    if (!RemotePath::IsOneName(typed))
    {
        Services::ShowError(BadNameText);
        return;
    }
    std::wstring name;
    if (!m_connection.Names().Encode(typed, name))
    {
        Services::ShowError(nsFTP::CNameCodec::CannotEncodeText(typed));
        return;
    }
    const std::wstring path = RemotePath::Join(target, name);
    RunThenShow(L"Making " + m_browser.ShowPath(path),
                [&]
                {
                    return m_connection.MakeDirectory(path, true) && m_connection.IsConnected() &&
                           m_connection.ChangeDirectory(target);
                });
}

void CRemoteCommands::Rename(const std::vector<int>& picked)
{
    if (!Ready())
        return;
    const auto rows = PickedRows(picked);
    if (rows.empty())
        return;
    const BrowserRow& row = rows.front();
    const std::wstring preset = row.nameText;
    std::wstring typed = preset;
    if (!m_host.Prompt(L"Rename", typed) || typed == preset)
        return;
    if (!RemotePath::IsOneName(typed))
    {
        Services::ShowError(BadNameText);
        return;
    }
    std::wstring name;
    if (!m_connection.Names().Encode(typed, name))
    {
        Services::ShowError(nsFTP::CNameCodec::CannotEncodeText(typed));
        return;
    }
    if (name == row.name)
        return;
    // Most servers replace what RNTO names; a name the folder already holds
    // is refused. Exact comparison: a change of case alone is a new name.
    for (const auto& other : m_browser.Rows())
        if (other.name == name)
        {
            Services::ShowError(L"\"" + typed + L"\" already exists in this folder.");
            return;
        }
    const std::wstring from = FullPath(row);
    const std::wstring to = RemotePath::Join(row.path, name);
    RunThenShow(L"Renaming " + m_browser.ShowPath(from),
                [&] { return m_connection.Engine().RenameFile(from, to) == 0; });
}

void CRemoteCommands::Delete(const std::vector<int>& picked)
{
    if (!Ready())
        return;
    const auto rows = PickedRows(picked);
    if (rows.empty() || !Services::AskOkCancel(DeleteQuestion))
        return;
    auto list = std::make_unique<CTransferList>(&m_connection);
    for (const auto& row : rows)
        list->AddRow(row);
    m_host.RunJob(std::move(list), L"", JobKind::RemoteDelete);
    m_browser.Refresh();
}

void CRemoteCommands::MoveTo(const std::vector<int>& picked)
{
    if (!Ready())
        return;
    const auto rows = PickedRows(picked);
    if (rows.empty())
        return;
    const std::wstring current = m_browser.Folder();
    std::wstring typed = m_browser.ShowPath(current);
    if (!m_host.Prompt(L"Move To", typed) || typed.find_first_not_of(L" \t") == std::wstring::npos)
        return;
    if (HoldsControlCharacters(typed))
    {
        Services::ShowError(BadTargetText);
        return;
    }
    // Resolved here, so "..", "." and relative names mean what they mean to
    // the user, whatever folder the server is in when the job runs.
    std::wstring wire;
    if (!m_connection.Names().EncodeEdited(typed, current, wire))
    {
        Services::ShowError(nsFTP::CNameCodec::CannotEncodeText(typed));
        return;
    }
    const std::wstring target = RemotePath::Normalize(current, wire);
    if (target == RemotePath::Normalize(L"/", current))
        return;
    for (const auto& row : rows)
    {
        const std::wstring folder = RemotePath::Normalize(L"/", FullPath(row));
        if (row.isDirectory && RemotePath::IsSelfOrAncestor(folder, target))
        {
            Services::ShowError(L"The folder \"" + m_browser.ShowPath(folder) +
                                L"\" cannot be moved into itself.");
            return;
        }
    }
    auto list = std::make_unique<CTransferList>(&m_connection);
    for (const auto& row : rows)
        list->AddRow(row);
    m_host.RunJob(std::move(list), target, JobKind::RemoteMove);
    m_browser.Refresh();
}

void CRemoteCommands::Chmod(const std::vector<int>& picked)
{
    if (!Ready())
        return;
    const auto rows = PickedRows(picked);
    if (rows.empty())
        return;
    // One entry's own rights are the start, so a folder keeps its execute
    // bits unless the user clears them. Not a link's: its listed rights are
    // not those of what CHMOD changes.
    int preset = CFileMode::DefaultMode;
    if (rows.size() == 1 && !rows.front().isLink)
    {
        const int listed = CFileMode::FromAttributes(rows.front().attributes);
        if (listed >= 0)
            preset = listed;
    }
    std::wstring typed;
    if (!m_host.ChooseMode(preset, typed))
        return;
    const std::wstring mode = CFileMode::Parse(typed);
    if (mode.empty())
    {
        Services::ShowError(BadModeText);
        return;
    }
    RunThenShow(L"Changing the attributes",
                [&]
                {
                    // A refusal is shown and the next row still gets its turn.
                    for (const auto& row : rows)
                    {
                        if (!m_connection.IsConnected())
                            break;
                        m_connection.Engine().SiteCommand(L"CHMOD " + mode + L" " + FullPath(row));
                    }
                    return true;
                });
}

void CRemoteCommands::Properties(const std::vector<int>& picked)
{
    if (!Ready())
        return;
    const auto rows = PickedRows(picked);
    if (rows.empty())
        return;
    const BrowserRow& row = rows.front();
    FileProperties properties;
    properties.local = false;
    properties.isDirectory = row.isDirectory;
    properties.name = row.displayText;
    properties.path = m_browser.ShowPath(row.path);
    properties.sizeText = SizeWithBytes(row.size);
    properties.modified = row.modified;
    properties.attributes = row.attributes;
    properties.owner = row.owner;
    m_host.ShowProperties(properties);
}
