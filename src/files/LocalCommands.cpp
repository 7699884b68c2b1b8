#include "LocalCommands.h"

#include "IFileCommandHost.h"
#include "LocalBrowser.h"
#include "LocalPath.h"
#include "RemotePath.h"
#include "TransferList.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "sites/SizeText.h"
#include "sites/SystemErrorBox.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <stdio.h>
#include <sys/stat.h>

using platform::Services;
using platform::TextCodec;

const std::wstring CLocalCommands::DeleteQuestion = L"Are you sure you want to delete the selected items?";
const std::wstring CLocalCommands::BadNameText =
    L"A name cannot be empty, \".\" or \"..\", and cannot hold \"/\" or control characters.";
const std::wstring CLocalCommands::BadTargetText = L"A folder name cannot hold control characters.";

namespace
{
bool HoldsControlCharacters(const std::wstring& text)
{
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

std::wstring AlreadyThere(const std::wstring& name)
{
    return L"\"" + name + L"\" already exists in this folder.";
}
} // namespace

CLocalCommands::CLocalCommands(CLocalBrowser& browser, IFileCommandHost& host)
    : m_browser(browser), m_host(host)
{
}

std::vector<int> CLocalCommands::Picked(const std::vector<int>& picked) const
{
    std::vector<int> rows;
    for (const int index : picked)
        if (m_browser.EntryAt(index))
            rows.push_back(index);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool CLocalCommands::FillList(CTransferList& list, const std::vector<int>& rows) const
{
    for (const int index : rows)
    {
        const std::wstring name = m_browser.Rows()[index].name;
        // Never the folder itself or its parent, whatever the list was given.
        if (!LocalPath::IsOneName(m_browser.EntryAt(index)->name))
        {
            Services::ShowError(L"\"" + name + L"\" is not an entry of this folder.");
            return false;
        }
        std::wstring why;
        if (!list.AddLocal(m_browser.PathOf(index), why))
        {
            Services::ShowError(L"\"" + name + L"\" cannot be used:\n" + why);
            return false;
        }
    }
    return true;
}

void CLocalCommands::NewDirectory(const std::vector<int>& picked)
{
    const auto rows = Picked(picked);
    const std::string target = m_browser.SelectedFolderOrCurrent(rows.empty() ? -1 : rows.front());
    std::wstring typed;
    if (!m_host.Prompt(L"New Directory", typed) || typed.empty())
        return;
    if (!RemotePath::IsOneName(typed))
    {
        Services::ShowError(BadNameText);
        return;
    }
    const std::string path = LocalPath::Join(target, TextCodec::ToUtf8(typed));
    if (mkdir(path.c_str(), 0777) != 0)
    {
        ShowSystemError(TextCodec::FromPathBytes(path));
        return;
    }
    if (target == m_browser.Folder())
        m_browser.Refresh();
    else
        m_browser.GoTo(target);
}

void CLocalCommands::Rename(const std::vector<int>& picked)
{
    const auto rows = Picked(picked);
    if (rows.empty())
        return;
    const int index = rows.front();
    const std::wstring preset = m_browser.Rows()[index].name;
    std::wstring typed = preset;
    if (!m_host.Prompt(L"Rename", typed) || typed == preset)
        return;
    if (!RemotePath::IsOneName(typed))
    {
        Services::ShowError(BadNameText);
        return;
    }
    const std::string from = m_browser.PathOf(index);
    const std::string to = LocalPath::Join(m_browser.Folder(), TextCodec::ToUtf8(typed));
    if (to == from)
        return;
    struct stat own
    {
    }, there{};
    // Linux's rename replaces what has the new name: such a name is refused.
    // On a file system that ignores case the new name may be the entry itself
    // (a change of case), which is no clash.
    const bool sameEntry = lstat(from.c_str(), &own) == 0 && lstat(to.c_str(), &there) == 0 &&
                           own.st_dev == there.st_dev && own.st_ino == there.st_ino;
    if (!sameEntry && lstat(to.c_str(), &there) == 0)
    {
        Services::ShowError(AlreadyThere(typed));
        return;
    }
    const int result = sameEntry ? rename(from.c_str(), to.c_str()) : LocalPath::RenameNoReplace(from, to);
    if (result != 0)
    {
        if (errno == EEXIST)
            Services::ShowError(AlreadyThere(typed));
        else
            ShowSystemError(TextCodec::FromPathBytes(to));
        return;
    }
    m_browser.Refresh();
}

void CLocalCommands::Delete(const std::vector<int>& picked)
{
    const auto rows = Picked(picked);
    if (rows.empty() || !Services::AskOkCancel(DeleteQuestion))
        return;
    auto list = std::make_unique<CTransferList>();
    if (!FillList(*list, rows))
        return;
    m_host.RunJob(std::move(list), m_browser.FolderText(), JobKind::LocalDelete);
    m_browser.Refresh();
}

void CLocalCommands::MoveTo(const std::vector<int>& picked)
{
    const auto rows = Picked(picked);
    if (rows.empty())
        return;
    std::wstring typed = m_browser.FolderText();
    if (!m_host.Prompt(L"Move To", typed) || typed.find_first_not_of(L" \t") == std::wstring::npos)
        return;
    if (HoldsControlCharacters(typed))
    {
        Services::ShowError(BadTargetText);
        return;
    }
    const std::string target = LocalPath::Clean(m_browser.Folder(), TextCodec::ToUtf8(typed));
    if (target == m_browser.Folder())
        return;
    for (const int index : rows)
        if (m_browser.Rows()[index].isDirectory && !m_browser.Rows()[index].isLink &&
            LocalPath::IsSelfOrAncestor(m_browser.PathOf(index), target))
        {
            Services::ShowError(L"The folder \"" + m_browser.Rows()[index].nameText +
                                L"\" cannot be moved into itself.");
            return;
        }
    auto list = std::make_unique<CTransferList>();
    if (!FillList(*list, rows))
        return;
    m_host.RunJob(std::move(list), TextCodec::FromPathBytes(target), JobKind::LocalMove);
    m_browser.Refresh();
}

void CLocalCommands::Properties(const std::vector<int>& picked)
{
    const auto rows = Picked(picked);
    if (rows.empty())
        return;
    const BrowserRow& row = m_browser.Rows()[rows.front()];
    const CLocalBrowser::Entry& entry = *m_browser.EntryAt(rows.front());
    FileProperties properties;
    properties.local = true;
    properties.isDirectory = row.isDirectory;
    properties.name = row.name;
    properties.path = m_browser.FolderText();
    properties.sizeText = row.isDirectory ? std::wstring() : SizeWithBytes(row.size);
    properties.modified = row.modified;
    // The nearest this system has: no write right for the owner, a name
    // starting with ".", and anything that is neither file nor folder.
    properties.readOnly = (entry.mode & S_IWUSR) == 0;
    properties.hidden = !entry.name.empty() && entry.name[0] == '.';
    properties.system = !S_ISREG(entry.mode) && !S_ISDIR(entry.mode);
    m_host.ShowProperties(properties);
}
