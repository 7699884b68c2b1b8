#include "FileExchange.h"

#include "ArkDropService.h"
#include "MyDataSource.h"
#include "MyDropTarget.h"
#include "WharfDoc.h"
#include "X11DirectSave.h"
#include "files/StagingFolders.h"
#include "files/TransferList.h"
#include "files/dialogs/UploadDlg.h"
#include "ftp/NameCodec.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "sites/SystemErrorBox.h"
#include "sites/TempDirectory.h"
#include "widgets/BrowserListModel.h"
#include "widgets/ListCtrlEx.h"

#include <QClipboard>
#include <QDir>
#include <QDrag>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using platform::Services;
using platform::TextCodec;

const std::wstring CFileExchange::SkippedText =
    L"These items are not local files that can be read, so they were left out:";
const std::wstring CFileExchange::UseCopyText =
    L"The file manager did not say where the files should go: use Copy here, then Paste in the file manager.";

struct CFileExchange::DragSession
{
    std::vector<BrowserRow> rows;
    QByteArray suggested;
    IDirectSaveWindow* directSave = nullptr;
    // The destination folder once a target has named a usable one.
    std::string folder;
    // QDrag::exec has returned.
    bool ended = false;
    bool finished = false;
};

namespace
{
// A destination a file manager named: an existing folder this user may write.
bool UsableFolder(const std::string& folder)
{
    struct stat info
    {
    };
    return !folder.empty() && folder[0] == '/' && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(folder.c_str(), W_OK | X_OK) == 0;
}

constexpr size_t ShownSkipped = 20;
} // namespace

CFileExchange::CFileExchange(CWharfDoc& doc, CListCtrlEx& list, CBrowserListModel& model, QWidget* window)
    : m_doc(doc), m_list(list), m_model(model), m_window(window)
{
    // Read once per change of the clipboard, not at every enable check: on
    // X11 each read asks the clipboard's owner.
    m_clipboardFiles = CMyDropTarget::OffersLocalFiles(QGuiApplication::clipboard()->mimeData());
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] {
                m_clipboardFiles = CMyDropTarget::OffersLocalFiles(QGuiApplication::clipboard()->mimeData());
            });

    CMyDropTarget::Owner owner;
    owner.mayDrop = [this] { return EngineReady(); };
    owner.isFolder = [this](int listRow)
    {
        const int row = m_model.RowIndex(listRow);
        const auto& rows = m_doc.Browser().Rows();
        return row >= 0 && row < static_cast<int>(rows.size()) && rows[row].isDirectory;
    };
    owner.dropped = [this](const CFileUris::Parsed& files, int listRow) { Dropped(files, listRow); };
    m_dropTarget = new CMyDropTarget(list, std::move(owner), this);
}

CFileExchange::~CFileExchange()
{
    Shutdown();
}

std::string CFileExchange::StagingParent()
{
    return TextCodec::ToPathBytes(TemporaryDirectory());
}

void CFileExchange::SweepStaging()
{
    const std::string chosen = StagingParent();
    CStagingFolders::SweepOrphans(chosen);
    const std::string system = QDir::tempPath().toStdString();
    if (system != chosen)
        CStagingFolders::SweepOrphans(system);
}

bool CFileExchange::EngineReady() const
{
    return !m_doc.Call().Busy() && m_doc.Connection().IsConnected();
}

bool CFileExchange::MayPaste() const
{
    return EngineReady() && m_clipboardFiles;
}

void CFileExchange::SetArkBus(const QDBusConnection& bus)
{
    delete m_ark;
    m_ark = new CArkDropService(bus, this);
}

std::vector<BrowserRow> CFileExchange::Rows(const std::vector<int>& rows) const
{
    std::vector<int> order = rows;
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::vector<BrowserRow> picked;
    const auto& all = m_doc.Browser().Rows();
    for (const int index : order)
        if (index >= 0 && index < static_cast<int>(all.size()))
            picked.push_back(all[index]);
    return picked;
}

bool CFileExchange::RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination, JobKind kind)
{
    CUploadDlg dialog(&m_doc.Connection(), std::move(list), destination, kind, m_window);
    // A download is refused at once when the tree, once listed, does not fit.
    if (kind == JobKind::Download)
        dialog.Job()->SetCheckFreeSpace(true);
    return dialog.exec() == QDialog::Accepted && !dialog.HadFailures();
}

void CFileExchange::Copy(const std::vector<int>& rows)
{
    CopyRows(Rows(rows));
}

void CFileExchange::CopyRows(const std::vector<BrowserRow>& picked)
{
    if (!EngineReady() || picked.empty())
        return;
    const std::string parent = StagingParent();
    const std::string staging = CStagingFolders::Create(parent);
    if (staging.empty())
    {
        ShowSystemError(nsFTP::CNameCodec::ShowLocalBytes(parent));
        return;
    }
    auto list = std::make_unique<CTransferList>(&m_doc.Connection());
    std::vector<std::string> paths;
    for (const auto& row : picked)
    {
        list->AddRow(row);
        // The job writes each name's bytes as the server sent them.
        paths.push_back(staging + "/" + TextCodec::ToLatin1(row.name));
    }
    bool complete = RunJob(std::move(list), TextCodec::FromPathBytes(staging), JobKind::Download);
    struct stat info
    {
    };
    for (const auto& path : paths)
        complete = complete && lstat(path.c_str(), &info) == 0;
    if (!complete)
    {
        // The clipboard keeps what it had; nothing half-copied stays behind.
        CStagingFolders::RemoveTree(staging);
        return;
    }
    const std::string previous = m_current;
    m_current = staging;
    QGuiApplication::clipboard()->setMimeData(new CMyDataSource(paths));
    if (!previous.empty())
        RemoveLater(previous);
}

void CFileExchange::RemoveLater(const std::string& folder)
{
    m_leaving.push_back(folder);
    QTimer::singleShot(m_grace, this,
                       [this, folder]
                       {
                           const auto at = std::find(m_leaving.begin(), m_leaving.end(), folder);
                           if (at == m_leaving.end())
                               return;
                           m_leaving.erase(at);
                           CStagingFolders::RemoveTree(folder);
                       });
}

void CFileExchange::Shutdown()
{
    if (m_drag)
    {
        m_drag->finished = true;
        if (m_drag->directSave)
            m_drag->directSave->End();
        m_drag.reset();
    }
    if (m_ark)
        m_ark->Withdraw();
    // A file manager must not be offered files that are about to go.
    if (!m_current.empty())
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (CMyDataSource::IsOwn(clipboard->mimeData()))
            clipboard->clear();
    }
    for (const auto& folder : m_leaving)
        CStagingFolders::RemoveTree(folder);
    m_leaving.clear();
    if (!m_current.empty())
        CStagingFolders::RemoveTree(m_current);
    m_current.clear();
}

void CFileExchange::Paste(const std::wstring& folder)
{
    if (!EngineReady())
        return;
    Upload(CMyDropTarget::LocalFiles(QGuiApplication::clipboard()->mimeData()), folder);
}

void CFileExchange::Dropped(const CFileUris::Parsed& files, int listRow)
{
    // The connection may have gone since the drop: the files are let go.
    if (!EngineReady())
        return;
    Upload(files, m_doc.Browser().SelectedDirectoryOrCurrent(listRow < 0 ? -1 : m_model.RowIndex(listRow)));
}

void CFileExchange::Upload(const CFileUris::Parsed& files, const std::wstring& folder)
{
    if (folder.empty())
        return;
    auto list = std::make_unique<CTransferList>(&m_doc.Connection());
    std::vector<std::wstring> skipped;
    for (const auto& uri : files.skipped)
        skipped.push_back(nsFTP::CNameCodec::ShowLocalBytes(uri));
    for (const auto& path : files.paths)
    {
        std::wstring why;
        if (!list->AddLocal(path, why))
            skipped.push_back(nsFTP::CNameCodec::ShowLocalBytes(path) + L" (" + why + L")");
    }
    if (!skipped.empty())
    {
        std::wstring text = SkippedText;
        for (size_t i = 0; i < skipped.size() && i < ShownSkipped; ++i)
            text += L"\n" + skipped[i];
        if (skipped.size() > ShownSkipped)
            text += L"\n...";
        Services::ShowError(text);
    }
    if (list->ItemCount() == 0)
        return;
    RunJob(std::move(list), folder, JobKind::Upload);
    if (EngineReady())
        m_doc.Browser().Refresh();
}

void CFileExchange::DragOut(const std::vector<int>& rows)
{
    const std::vector<BrowserRow> picked = Rows(rows);
    if (!EngineReady() || picked.empty())
        return;
    if (m_drag)
        FinishDrag(m_drag);
    auto session = std::make_shared<DragSession>();
    session->rows = picked;
    session->suggested = QByteArray::fromStdString(TextCodec::ToLatin1(picked.front().name));
    if (!m_directSave && !m_ownDirectSave)
        m_ownDirectSave = CX11DirectSave::Create();
    session->directSave = m_directSave ? m_directSave : m_ownDirectSave.get();
    m_drag = session;

    if (!m_ark)
        m_ark = new CArkDropService(CArkDropService::SessionBus(), this);
    std::weak_ptr<DragSession> weak = session;
    m_ark->Offer(
        [this, weak](const QString& given)
        {
            const auto session = weak.lock();
            if (!session)
                return;
            std::string folder;
            const std::string bytes = given.toStdString();
            if (given.startsWith(QStringLiteral("file:")))
                CFileUris::DirectSaveFolder(bytes + "/", CFileUris::HostName(), folder);
            else if (given.startsWith('/') && !CFileUris::DirectSaveFolder(CFileUris::FromPath(bytes) + "/",
                                                                           CFileUris::HostName(), folder))
                folder.clear();
            TakeDestination(session, folder);
        });
    CMyDataSource::DirectSaveAnswer answer;
    if (session->directSave)
        answer = [this, weak]
        {
            const auto session = weak.lock();
            return session ? AnswerDirectSave(session) : QByteArray();
        };
    auto* data = new CMyDataSource(answer, m_ark->Service(), m_ark->Path());
    auto* drag = new QDrag(m_window);
    drag->setMimeData(data);

    Qt::DropAction action;
    if (m_dragRunner)
    {
        if (session->directSave)
            session->directSave->Begin(session->suggested);
        action = m_dragRunner(*drag, *data);
        drag->deleteLater();
    }
    else
    {
        // The drag's source window owns XdndSelection only once the drag runs.
        if (session->directSave)
            QTimer::singleShot(0, this,
                               [weak]
                               {
                                   if (const auto session = weak.lock(); session && !session->finished)
                                       session->directSave->Begin(session->suggested);
                               });
        // On X11 the drag object stays with the drop transaction, which may
        // still ask for data after this returns; Qt deletes it.
        action = drag->exec(Qt::CopyAction, Qt::CopyAction);
    }
    session->ended = true;
    if (session->finished)
        return;
    if (!session->folder.empty() || action == Qt::IgnoreAction)
    {
        // Not from inside the drag's own event loop, which may still be unwinding.
        QMetaObject::invokeMethod(
            this, [this, session] { FinishDrag(session); }, Qt::QueuedConnection);
        return;
    }
    // Most targets name the destination just after the drop.
    QTimer::singleShot(m_destinationWait, this,
                       [this, weak]
                       {
                           if (const auto session = weak.lock())
                               FinishDrag(session);
                       });
}

QByteArray CFileExchange::AnswerDirectSave(const std::shared_ptr<DragSession>& session)
{
    if (session->finished || !session->directSave)
        return {};
    QByteArray value = session->directSave->Read();
    if (value.endsWith('\0'))
        value.chop(1);
    // No destination written yet (some targets ask while the pointer only
    // passes over them): no answer keeps the drag going, where "F" would end it.
    if (value.isEmpty() || value == session->suggested)
        return {};
    std::string folder;
    const std::string_view text(value.constData(), static_cast<size_t>(value.size()));
    if (CFileUris::DirectSaveFolder(text, CFileUris::HostName(), folder) && TakeDestination(session, folder))
        return QByteArrayLiteral("S");
    return QByteArrayLiteral("F");
}

bool CFileExchange::TakeDestination(const std::shared_ptr<DragSession>& session, const std::string& folder)
{
    if (session->finished || !UsableFolder(folder))
        return false;
    if (!session->folder.empty())
        return session->folder == folder;
    session->folder = folder;
    if (session->ended)
        QMetaObject::invokeMethod(
            this, [this, session] { FinishDrag(session); }, Qt::QueuedConnection);
    return true;
}

void CFileExchange::FinishDrag(const std::shared_ptr<DragSession>& session)
{
    if (session->finished)
        return;
    session->finished = true;
    if (m_drag == session)
    {
        m_drag.reset();
        if (m_ark)
            m_ark->Withdraw();
    }
    if (session->directSave)
        session->directSave->End();
    if (session->folder.empty())
        Services::SetStatusText(0, UseCopyText);
    else if (EngineReady())
    {
        auto list = std::make_unique<CTransferList>(&m_doc.Connection());
        for (const auto& row : session->rows)
            list->AddRow(row);
        RunJob(std::move(list), TextCodec::FromPathBytes(session->folder), JobKind::Download);
    }
    emit DragDone();
}
