#include "RemoteBrowser.h"

#include "BrowserListModel.h"
#include "RemotePath.h"
#include "TextDlg.h"
#include "UploadDlg.h"
#include "ftp/FTPFileStatus.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/DesktopShellOpener.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <set>

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

QString Lower(const std::wstring& text)
{
    return QString::fromStdWString(text).toLower();
}

// Three-way comparison of two names without regard to case.
int CompareIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
    {
        const wint_t x = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t y = std::towlower(static_cast<wint_t>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

class WaitCursor
{
public:
    WaitCursor()
    {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_set = true;
        }
    }
    ~WaitCursor()
    {
        if (m_set)
            QApplication::restoreOverrideCursor();
    }

private:
    bool m_set = false;
};

platform::DesktopShellOpener g_desktopOpener;

// The download job, behind its progress dialog.
bool DownloadWithJob(CSiteConnection& connection, const BrowserRow& row, const std::wstring& remotePath,
                     const std::wstring& localFolder, QWidget* owner)
{
    return CUploadDlg::DownloadOne(connection, remotePath, row.name, row.size, row.modified, localFolder,
                                   owner);
}
} // namespace

// The type list's entries, lower-cased and sorted, so "is there an entry that
// begins with this type" is one lookup instead of a walk of the whole list.
struct CRemoteBrowser::TypeGathering
{
    std::set<QString> known;
    QStringList added;
    bool HasEntryStartingWith(const QString& type) const
    {
        auto it = known.lower_bound(type);
        return it != known.end() && it->startsWith(type);
    }
};

CRemoteBrowser::CRemoteBrowser(CSiteConnection& connection)
    : m_connection(connection), m_opener(&g_desktopOpener), m_download(DownloadWithJob)
{
}

CRemoteBrowser::~CRemoteBrowser() = default;

bool CRemoteBrowser::MakeRow(const nsFTP::CFTPFileStatus& record, BrowserRow& row)
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
    return true;
}

void CRemoteBrowser::SortRows(std::vector<BrowserRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [](const BrowserRow& a, const BrowserRow& b)
                     {
                         if (a.isDirectory != b.isDirectory)
                             return a.isDirectory;
                         return CompareIgnoringCase(a.name, b.name) < 0;
                     });
}

void CRemoteBrowser::SetRows(const std::vector<BrowserRow>& rows)
{
    m_rows = rows;
    SortRows(m_rows);
}

bool CRemoteBrowser::ReloadRows()
{
    m_rows.clear();
    const std::wstring current = m_connection.CurrentDirectory();
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    if (!m_connection.List(current, records))
        return false;
    m_rows.reserve(records.size());
    BrowserRow row;
    for (const auto& record : records)
        if (record && MakeRow(*record, row))
            m_rows.push_back(std::move(row));
    SortRows(m_rows);
    return !m_rows.empty();
}

void CRemoteBrowser::SetFilterLinks(QLineEdit* text, QComboBox* show, QComboBox* type)
{
    m_filterText = text;
    m_filterShow = show;
    m_filterType = type;
}

bool CRemoteBrowser::Passes(const BrowserRow& row)
{
    if (!m_filterText && !m_filterShow && !m_filterType)
        return true;
    const QString name = Lower(Trim(row.displayName));
    if (m_filterType)
    {
        const int dot = name.lastIndexOf(u'.');
        const QString type = dot >= 0 ? name.mid(dot) : QString();
        if (m_filterType->currentIndex() > 0)
        {
            if (!row.isDirectory && type != m_filterType->currentText())
                return false;
        }
        else if (m_gathering && !type.isEmpty() && !m_gathering->HasEntryStartingWith(type) &&
                 static_cast<int>(m_gathering->known.size()) < MaxGatheredTypes)
        {
            m_gathering->known.insert(type);
            m_gathering->added.push_back(type);
        }
    }
    if (m_filterShow)
    {
        const int show = m_filterShow->currentIndex();
        if ((show == 1 && row.isDirectory) || (show == 2 && !row.isDirectory))
            return false;
    }
    if (m_filterText)
    {
        const QString text = m_filterText->text().toLower();
        if (!text.isEmpty() && !name.contains(text))
            return false;
    }
    return true;
}

void CRemoteBrowser::Refresh(QComboBox* folders, CBrowserListModel* list)
{
    if (!m_connection.IsConnected())
        return;
    WaitCursor wait;
    ReloadRows();
    Fill(folders, list);
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

void CRemoteBrowser::FillFolders(QComboBox* folders)
{
    if (!folders)
        return;
    const std::wstring current =
        m_connection.IsConnected() ? m_connection.CurrentDirectory() : std::wstring();
    const QSignalBlocker quiet(folders);
    folders->clear();
    int selected = -1;
    for (const auto& folder : FolderChain(current, m_connection.HomeDirectory(), selected))
        folders->addItem(QString::fromStdWString(folder));
    folders->setCurrentIndex(selected);
}

void CRemoteBrowser::Fill(QComboBox* folders, CBrowserListModel* list)
{
    FillFolders(folders);

    TypeGathering gathering;
    if (m_filterType && m_filterType->currentIndex() == 0)
    {
        const QSignalBlocker quiet(m_filterType.data());
        while (m_filterType->count() > 1)
            m_filterType->removeItem(m_filterType->count() - 1);
        m_gathering = &gathering;
    }

    std::vector<int> visible;
    visible.reserve(m_rows.size());
    long long directories = 0, files = 0, bytes = 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
    {
        const BrowserRow& row = m_rows[i];
        if (!Passes(row))
            continue;
        visible.push_back(static_cast<int>(i));
        if (!row.isLink)
            ++(row.isDirectory ? directories : files);
        if (row.size > 0)
            bytes += row.size;
    }
    m_gathering = nullptr;
    if (m_filterType && !gathering.added.isEmpty())
    {
        const QSignalBlocker quiet(m_filterType.data());
        m_filterType->addItems(gathering.added);
    }
    if (list)
        list->SetRows(&m_rows, std::move(visible));

    wchar_t text[64];
    std::swprintf(text, 64, L"Directories: %lld", directories);
    platform::Services::SetStatusText(1, text);
    std::swprintf(text, 64, L"Files: %lld", files);
    platform::Services::SetStatusText(2, text);
    std::swprintf(text, 64, L"%lld bytes", bytes);
    platform::Services::SetStatusText(3, text);
}

bool CRemoteBrowser::GoTo(const std::wstring& path, QComboBox* folders, CBrowserListModel* list)
{
    if (!m_connection.ChangeDirectory(path))
        return false;
    Refresh(folders, list);
    return true;
}

void CRemoteBrowser::OpenRow(int rowIndex, QComboBox* folders, CBrowserListModel* list, QWidget* owner)
{
    if (rowIndex < 0 || rowIndex >= static_cast<int>(m_rows.size()))
        return;
    const BrowserRow row = m_rows[rowIndex]; // the refresh below replaces the rows
    if (row.isDirectory)
    {
        GoTo(RemotePath::Join(row.path, row.name, L'/'), folders, list);
        return;
    }
    if (m_connection.CurrentDirectory().empty())
        return;
    DownloadAndOpen(row, owner);
}

bool CRemoteBrowser::DownloadAndOpen(const BrowserRow& row, QWidget* owner)
{
    // The name comes from the server: it must stay one name inside the folder.
    if (!RemotePath::IsSafeLocalName(row.name))
    {
        platform::Services::ShowError(L"The name \"" + row.name + L"\" cannot be used for a local file.");
        return false;
    }
    const std::wstring folder = TemporaryDirectory();
    const std::wstring target = RemotePath::Join(folder, row.name, L'/');
    std::error_code error;
    const std::filesystem::path local(TextCodec::ToUtf8(target));
    if (std::filesystem::is_directory(std::filesystem::symlink_status(local, error)))
    {
        platform::Services::ShowError(L"A folder of that name is in the way:\n" + target);
        return false;
    }
    std::filesystem::remove(local, error);
    if (!m_download ||
        !m_download(m_connection, row, RemotePath::Join(row.path, row.name, L'/'), folder, owner))
        return false;
    if (m_opener && !m_opener->Open(target))
    {
        platform::Services::ShowError(L"No program could be started for the file:\n" + target);
        return false;
    }
    return true;
}

void CRemoteBrowser::FolderChosen(QComboBox* folders, CBrowserListModel* list)
{
    if (!folders || folders->currentIndex() < 0)
        return;
    // A refused folder leaves the chooser showing where the list still is.
    if (!GoTo(folders->currentText().toStdWString(), folders, list))
        FillFolders(folders);
}

void CRemoteBrowser::EnterPath(QComboBox* folders, CBrowserListModel* list, QWidget* owner)
{
    if (!m_connection.IsConnected())
        return;
    CTextDlg prompt(L"Enter Path", m_connection.CurrentDirectory(), owner);
    if (prompt.exec() != QDialog::Accepted)
        return;
    GoToTypedPath(prompt.m_text, folders, list);
}

void CRemoteBrowser::GoToTypedPath(std::wstring text, QComboBox* folders, CBrowserListModel* list)
{
    if (text.size() > 1 && (text.back() == L'/' || text.back() == L'\\'))
        text.pop_back();
    if (text.empty() || text == m_connection.CurrentDirectory())
        return;
    GoTo(text, folders, list);
}

void CRemoteBrowser::Up(QComboBox* folders, CBrowserListModel* list)
{
    if (!m_connection.IsConnected())
        return;
    // The parent by the path itself, not the chooser's entry above: that may
    // be the home folder put first.
    const std::wstring parent = ParentFolder(m_connection.CurrentDirectory());
    if (!parent.empty())
        GoTo(parent, folders, list);
}

std::wstring CRemoteBrowser::SelectedDirectoryOrCurrent(int rowIndex)
{
    if (!m_connection.IsConnected())
        return {};
    if (rowIndex >= 0 && rowIndex < static_cast<int>(m_rows.size()) && m_rows[rowIndex].isDirectory)
        return RemotePath::Join(m_rows[rowIndex].path, m_rows[rowIndex].name, L'/');
    return m_connection.CurrentDirectory();
}
