#include "LocalBrowser.h"

#include "LocalPath.h"
#include "RowOrder.h"
#include "ftp/NameCodec.h"
#include "platform/IShellOpener.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "sites/SystemErrorBox.h"

#include <dirent.h>
#include <memory>
#include <sys/stat.h>

using platform::TextCodec;

namespace
{
struct DirectoryCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};
} // namespace

CLocalBrowser::CLocalBrowser() : m_folder(LocalPath::Home()) {}

const CLocalBrowser::Entry* CLocalBrowser::EntryAt(int rowIndex) const
{
    return rowIndex >= 0 && rowIndex < static_cast<int>(m_entries.size()) ? &m_entries[rowIndex] : nullptr;
}

std::wstring CLocalBrowser::FolderText() const
{
    return TextCodec::FromPathBytes(m_folder);
}

std::string CLocalBrowser::PathOf(int rowIndex) const
{
    const Entry* entry = EntryAt(rowIndex);
    return entry ? LocalPath::Join(m_folder, entry->name) : std::string();
}

bool CLocalBrowser::ReadFolder(const std::string& folder, std::vector<BrowserRow>& rows,
                               std::vector<Entry>& entries)
{
    rows.clear();
    entries.clear();
    std::unique_ptr<DIR, DirectoryCloser> dir(opendir(folder.c_str()));
    if (!dir)
        return false;
    std::vector<BrowserRow> read;
    std::vector<Entry> found;
    const std::wstring folderText = TextCodec::FromPathBytes(folder);
    while (const dirent* item = readdir(dir.get()))
    {
        const std::string name = item->d_name;
        // Linux lists these; as rows they would let Delete reach the parent.
        if (name == "." || name == "..")
            continue;
        const std::string path = LocalPath::Join(folder, name);
        struct stat own
        {
        }, what{};
        if (lstat(path.c_str(), &own) != 0)
            continue;
        if (stat(path.c_str(), &what) != 0)
            what = own;
        BrowserRow row;
        row.isDirectory = S_ISDIR(what.st_mode);
        row.isLink = S_ISLNK(own.st_mode);
        row.size = row.isDirectory ? 0 : static_cast<std::int64_t>(what.st_size);
        row.modified = static_cast<std::int64_t>(what.st_mtime);
        row.path = folderText;
        row.name = TextCodec::FromPathBytes(name);
        row.displayName = row.name;
        row.nameText = row.displayText = nsFTP::CNameCodec::ShowLocal(row.name);
        read.push_back(std::move(row));
        found.push_back({name, static_cast<unsigned>(what.st_mode)});
    }
    for (const size_t index : CRowOrder::Of(read))
    {
        rows.push_back(std::move(read[index]));
        entries.push_back(std::move(found[index]));
    }
    return true;
}

void CLocalBrowser::Changed()
{
    if (m_changed)
        m_changed();
}

bool CLocalBrowser::Refresh()
{
    const bool read = ReadFolder(m_folder, m_rows, m_entries);
    Changed();
    return read;
}

bool CLocalBrowser::GoTo(const std::string& folder)
{
    const std::string clean = LocalPath::Clean(m_folder, folder);
    std::vector<BrowserRow> rows;
    std::vector<Entry> entries;
    if (!ReadFolder(clean, rows, entries))
    {
        ShowSystemError(TextCodec::FromPathBytes(clean));
        return false;
    }
    m_folder = clean;
    m_rows = std::move(rows);
    m_entries = std::move(entries);
    Changed();
    return true;
}

std::vector<std::wstring> CLocalBrowser::FolderChoices(int& selected) const
{
    std::vector<std::wstring> choices;
    for (const auto& folder : LocalPath::Chain(m_folder))
        choices.push_back(TextCodec::FromPathBytes(folder));
    selected = static_cast<int>(choices.size()) - 1;
    return choices;
}

bool CLocalBrowser::ChooseFolder(int index)
{
    const auto chain = LocalPath::Chain(m_folder);
    if (index < 0 || index >= static_cast<int>(chain.size()))
        return false;
    return chain[index] == m_folder || GoTo(chain[index]);
}

void CLocalBrowser::OpenRow(int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= static_cast<int>(m_rows.size()))
        return;
    const std::string path = PathOf(rowIndex);
    if (m_rows[rowIndex].isDirectory)
    {
        GoTo(path);
        return;
    }
    const std::wstring text = TextCodec::FromPathBytes(path);
    if (m_opener && !m_opener->Open(text))
        platform::Services::ShowError(L"No program could be started for the file:\n" + text);
}

bool CLocalBrowser::GoToTypedPath(const std::wstring& text)
{
    std::string typed = TextCodec::ToUtf8(text);
    if (typed.size() > 1 && typed.back() == '/')
        typed.pop_back();
    if (typed.find_first_not_of(" \t") == std::string::npos || typed == m_folder)
        return false;
    return GoTo(typed);
}

bool CLocalBrowser::Up()
{
    const std::string parent = LocalPath::Parent(m_folder);
    return !parent.empty() && GoTo(parent);
}

std::string CLocalBrowser::SelectedFolderOrCurrent(int rowIndex) const
{
    if (rowIndex >= 0 && rowIndex < static_cast<int>(m_rows.size()) && m_rows[rowIndex].isDirectory)
        return PathOf(rowIndex);
    return m_folder;
}
