#pragma once
#include "BrowserRow.h"

#include <functional>
#include <string>
#include <vector>

namespace platform
{
class IShellOpener;
}

// The logic behind the handheld's local file list: the current folder of this
// device and its entries as rows, sorted as the remote list is, the folder
// chooser's chain and the navigation commands. It holds no widget; the view
// fills its list and chooser from what it returns.
//
// Paths are bytes, as the disk names them; the rows carry them as text for
// people. "." and ".." are never rows, and the current folder is always a
// clean absolute path. It starts in the user's home folder, unread.
class CLocalBrowser
{
public:
    // What a row's entry is on the disk, beside what the row shows.
    struct Entry
    {
        // The name's bytes.
        std::string name;
        // The mode of what the entry is (links followed; the link's own when
        // it leads nowhere).
        unsigned mode = 0;
    };

    CLocalBrowser();
    CLocalBrowser(const CLocalBrowser&) = delete;
    CLocalBrowser& operator=(const CLocalBrowser&) = delete;

    const std::vector<BrowserRow>& Rows() const { return m_rows; }
    // The entry of a row; none for a bad index.
    const Entry* EntryAt(int rowIndex) const;
    const std::string& Folder() const { return m_folder; }
    std::wstring FolderText() const;
    // The full path of a row's entry; empty for a bad index.
    std::string PathOf(int rowIndex) const;

    // Reads the current folder again. False when it cannot be read: the list
    // is then empty and the folder stays current.
    bool Refresh();
    // Makes a folder (taken below the current one when relative) current and
    // reads it. False when it cannot be read: the system's reason is shown and
    // the browser stays where it was.
    bool GoTo(const std::string& folder);
    // The chooser: the folders from the root down to the current one, the
    // current one selected.
    std::vector<std::wstring> FolderChoices(int& selected) const;
    bool ChooseFolder(int index);
    // The double tap and Enter: a folder (or a link to one) is entered, a file
    // is handed to the shell opener.
    void OpenRow(int rowIndex);
    // What Enter Path does with its text after OK: blank or the current folder
    // does nothing; one trailing "/" goes.
    bool GoToTypedPath(const std::wstring& text);
    // The folder above, by the path; nothing at the root.
    bool Up();
    // A folder row's path, else the current folder: where New Directory and
    // Paste put things.
    std::string SelectedFolderOrCurrent(int rowIndex) const;

    void SetChangedHandler(std::function<void()> changed) { m_changed = std::move(changed); }
    void SetShellOpener(platform::IShellOpener* opener) { m_opener = opener; }

    // One folder's rows and entries in list order; false (errno kept) when
    // the folder cannot be opened.
    static bool ReadFolder(const std::string& folder, std::vector<BrowserRow>& rows, std::vector<Entry>& entries);

private:
    void Changed();

    std::string m_folder;
    std::vector<BrowserRow> m_rows;
    std::vector<Entry> m_entries;
    std::function<void()> m_changed;
    platform::IShellOpener* m_opener = nullptr;
};
