#include "TransferList.h"

#include "RemotePath.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "sites/SystemErrorBox.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

using platform::TextCodec;

void CTransferList::Add(std::int64_t size, bool isDirectory, const std::wstring& relativePath,
                        const std::wstring& sourcePath, std::int64_t modified)
{
    TransferItem item;
    item.isDirectory = isDirectory;
    item.size = size;
    item.modified = modified;
    item.relativePath = relativePath;
    item.sourcePath = sourcePath;
    item.fileIndex = m_fileCount;
    item.itemIndex = static_cast<int>(m_items.size());
    m_items.push_back(std::move(item));
    if (!isDirectory)
        ++m_fileCount;
    if (size > 0)
        m_totalBytes += size;
}

void CTransferList::AddRow(const BrowserRow& row)
{
    Add(row.size, row.isDirectory, row.name, RemotePath::Join(row.path, row.name), row.modified);
    m_items.back().isLink = row.isLink;
}

bool CTransferList::AddLocal(const std::string& path, std::wstring& why)
{
    // Any bytes: the job sends the name's own bytes to the server.
    const std::wstring wide = TextCodec::FromPathBytes(path);
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0)
    {
        why = SystemErrorText(L"");
        return false;
    }
    const size_t slash = wide.find_last_of(L'/');
    const std::wstring name = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
    const bool isDirectory = S_ISDIR(info.st_mode);
    Add(isDirectory ? 0 : static_cast<std::int64_t>(info.st_size), isDirectory, name, wide,
        static_cast<std::int64_t>(info.st_mtime));
    struct stat own
    {
    };
    m_items.back().isLink = lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    return true;
}

void CTransferList::Clear()
{
    m_items.clear();
    m_totalBytes = 0;
    m_fileCount = 0;
    m_cursorNext = 0;
}

TransferItem* CTransferList::Step(size_t index, bool filesOnly)
{
    while (index < m_items.size() && filesOnly && m_items[index].isDirectory)
        ++index;
    if (index >= m_items.size())
    {
        m_cursorNext = SIZE_MAX;
        return nullptr;
    }
    // An item appended behind the last one after this moment is not reached.
    m_cursorNext = index + 1 < m_items.size() ? index + 1 : SIZE_MAX;
    return &m_items[index];
}

TransferItem* CTransferList::First(bool filesOnly)
{
    return Step(0, filesOnly);
}

TransferItem* CTransferList::Next(bool filesOnly)
{
    if (m_cursorNext == SIZE_MAX)
        return nullptr;
    return Step(m_cursorNext, filesOnly);
}

int CTransferList::Depth(const std::wstring& relativePath)
{
    return 1 + static_cast<int>(std::count(relativePath.begin(), relativePath.end(), L'/'));
}

// Appended items always land behind every item already there, so one pass in
// list order expands folders in the same breadth-first order as restarting the
// walk after each folder would.
void CTransferList::ExpandRemote(const std::atomic<bool>* cancel, bool intoLinks, const UnreadableFolder& unreadable)
{
    if (!m_connection)
        return;
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        if (cancel && cancel->load())
            return;
        if (!m_items[i].isDirectory || m_items[i].expanded || (!intoLinks && m_items[i].isLink))
            continue;
        if (!unreadable)
        {
            m_items[i].expanded = ExpandRemoteFolder(i);
            continue;
        }
        nsFTP::CFTPClient::ErrorCapture capture(m_connection->Engine());
        m_items[i].expanded = ExpandRemoteFolder(i);
        if (!m_items[i].expanded)
            unreadable(m_items[i], capture.Joined());
    }
}

bool CTransferList::ExpandRemoteFolder(size_t index)
{
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    const std::wstring folder = m_items[index].sourcePath;
    if (!m_connection->List(folder, records))
        return false;
    const std::wstring relative = m_items[index].relativePath;
    // A link to a file (or to nothing) lists as the link itself: it is no
    // folder, and its size is that of the file it leads to, unknown here.
    if (m_items[index].isLink && records.size() == 1)
    {
        const auto& only = *records.front();
        const bool onlyIsLink = !only.Attributes.empty() && only.Attributes[0] == L'l';
        const std::wstring ownName = relative.substr(relative.rfind(L'/') + 1);
        if (onlyIsLink && RemotePath::LinkName(only.Name, true) == ownName)
        {
            m_items[index].isDirectory = false;
            m_items[index].size = -1;
            ++m_fileCount;
            return true;
        }
    }
    const bool tooDeep = Depth(relative) + 1 >= MaxDepth;
    for (const auto& record : records)
    {
        if (record->Name == L"." || record->Name == L"..")
            continue;
        const bool isLink = !record->Attributes.empty() && record->Attributes[0] == L'l';
        const std::wstring name = RemotePath::LinkName(record->Name, isLink);
        const std::wstring source = RemotePath::Join(folder, name);
        Add(record->SizeType == 1 ? record->Size : -1, record->TryCwd, RemotePath::Join(relative, name),
            source, record->ModificationTime);
        TransferItem& added = m_items.back();
        added.isLink = isLink;
        if (!added.isDirectory)
            continue;
        // Folders past the depth limit, and links that lead back to the folder
        // itself or one of its ancestors, are kept but never descended into.
        bool descend = !tooDeep;
        if (descend && isLink)
        {
            const std::wstring target = RemotePath::LinkTarget(record->Name);
            if (!target.empty() && RemotePath::IsSelfOrAncestor(
                                       RemotePath::Normalize(RemotePath::Normalize(L"/", folder), target),
                                       RemotePath::Normalize(L"/", source)))
                descend = false;
        }
        added.expanded = !descend;
    }
    return true;
}

void CTransferList::ExpandLocal(const std::atomic<bool>* cancel, bool intoLinks, const UnreadableFolder& unreadable)
{
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        if (cancel && cancel->load())
            return;
        if (!m_items[i].isDirectory || m_items[i].expanded || (!intoLinks && m_items[i].isLink))
            continue;
        std::wstring why;
        m_items[i].expanded = ExpandLocalFolder(i, why);
        if (!m_items[i].expanded && unreadable)
            unreadable(m_items[i], why);
    }
}

namespace
{
struct DirectoryCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// A local name below a local folder. Unlike RemotePath::Join, a folder that
// ends in "\" gets its separator: on Linux that is an ordinary name character.
std::wstring LocalJoin(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() || folder.back() == L'/' ? folder + name : folder + L'/' + name;
}

bool IsSelfOrAncestor(const std::string& ancestor, const std::string& path)
{
    if (ancestor.empty())
        return false;
    if (ancestor == path || ancestor == "/")
        return true;
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == '/';
}
} // namespace

bool CTransferList::ExpandLocalFolder(size_t index, std::wstring& why)
{
    const std::wstring folder = m_items[index].sourcePath;
    const std::string folderBytes = TextCodec::ToPathBytes(folder);
    std::unique_ptr<DIR, DirectoryCloser> dir(opendir(folderBytes.c_str()));
    if (!dir)
    {
        why = SystemErrorText(L"");
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get()))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    // Name order, so a job works through a folder predictably.
    std::sort(names.begin(), names.end());

    const std::wstring relative = m_items[index].relativePath;
    const bool tooDeep = Depth(relative) + 1 >= MaxDepth;
    const std::string folderReal = RealPath(folderBytes);
    for (const auto& name : names)
    {
        const std::wstring wideName = TextCodec::FromPathBytes(name);
        const std::wstring source = LocalJoin(folder, wideName);
        const std::string sourceBytes = TextCodec::ToPathBytes(source);
        struct stat info
        {
        };
        if (stat(sourceBytes.c_str(), &info) != 0 && lstat(sourceBytes.c_str(), &info) != 0)
            continue;
        const bool isDirectory = S_ISDIR(info.st_mode);
        Add(isDirectory ? 0 : static_cast<std::int64_t>(info.st_size), isDirectory,
            LocalJoin(relative, wideName), source, static_cast<std::int64_t>(info.st_mtime));
        struct stat own
        {
        };
        m_items.back().isLink = lstat(sourceBytes.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        if (isDirectory)
            // A folder link that leads back to this folder or above it is kept
            // but not descended into.
            m_items.back().expanded = tooDeep || IsSelfOrAncestor(RealPath(sourceBytes), folderReal);
    }
    return true;
}
