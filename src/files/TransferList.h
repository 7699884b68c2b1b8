#pragma once
#include "BrowserRow.h"
#include "TransferItem.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

class CSiteConnection;

// The ordered list every multi-file operation works on: the picked items
// first, then, once expanded, the contents of every folder, breadth-first.
// Items never move once added, so pointers to them stay valid.
class CTransferList
{
public:
    // Folders deeper than this are not expanded (a link that leads back to an
    // ancestor would otherwise grow the list without end).
    static constexpr int MaxDepth = 64;

    // A list without a connection is never expanded remotely.
    explicit CTransferList(CSiteConnection* connection = nullptr) : m_connection(connection) {}

    void Add(std::int64_t size, bool isDirectory, const std::wstring& relativePath,
             const std::wstring& sourcePath, std::int64_t modified);
    // A picked browser row, by its name in its folder. Every list built from
    // rows goes through here, so a link always stays marked as one.
    void AddRow(const BrowserRow& row);
    // A picked local file or folder by its path (bytes, as a file manager
    // names it, UTF-8 or not), links followed. False with why when it cannot
    // be read.
    bool AddLocal(const std::string& path, std::wstring& why);
    void Clear();
    // The item Add appended last, for starters that know more about it (a link).
    TransferItem& LastAdded() { return m_items.back(); }

    // The one iteration of the list. Next moves to the item that followed the
    // current one when the cursor reached it. filesOnly skips folders.
    TransferItem* First(bool filesOnly);
    TransferItem* Next(bool filesOnly);

    // Told of a folder that could not be listed, with why: the server's or
    // the system's text, which then is shown nowhere else.
    using UnreadableFolder = std::function<void(const TransferItem& folder, const std::wstring& why)>;

    // Append the contents of every folder item, recursively, listing remote
    // folders through the connection or local ones on the disk. A folder that
    // cannot be listed stays unexpanded. Stops early once cancel is set.
    // Without intoLinks, links are never listed: a delete removes the link
    // and must not even look at what it leads to. A folder that cannot be
    // listed is handed to unreadable with the reason.
    void ExpandRemote(const std::atomic<bool>* cancel = nullptr, bool intoLinks = true,
                      const UnreadableFolder& unreadable = {});
    void ExpandLocal(const std::atomic<bool>* cancel = nullptr, bool intoLinks = true,
                     const UnreadableFolder& unreadable = {});

    CSiteConnection* Connection() const { return m_connection; }
    const std::deque<TransferItem>& Items() const { return m_items; }
    // Sum of the known sizes of every item ever added, folders included.
    std::int64_t TotalBytes() const { return m_totalBytes; }
    int FileCount() const { return m_fileCount; }
    int ItemCount() const { return static_cast<int>(m_items.size()); }

private:
    TransferItem* Step(size_t index, bool filesOnly);
    static int Depth(const std::wstring& relativePath);
    bool ExpandRemoteFolder(size_t index);
    bool ExpandLocalFolder(size_t index, std::wstring& why);

    CSiteConnection* m_connection;
    std::deque<TransferItem> m_items;
    std::int64_t m_totalBytes = 0;
    int m_fileCount = 0;
    size_t m_cursorNext = 0;
};
