#pragma once
#include "files/BrowserRow.h"
#include "files/FileUris.h"
#include "files/TransferJob.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CArkDropService;
class CBrowserListModel;
class CListCtrlEx;
class CMyDataSource;
class CMyDropTarget;
class CTransferList;
class CWharfDoc;
class IDirectSaveWindow;
class QDrag;
class QWidget;

// The desktop's file manager as wharf's local side. Copy downloads the picked
// entries into a private staging folder and, once they are complete, puts
// the files on the clipboard; Paste and drops upload local files; a drag out
// learns the destination folder (X Direct Save or the D-Bus convention) and
// downloads into it once the drag is over. Every transfer is the ordinary job
// behind its progress dialog, started from the window's own event loop,
// never from inside a file manager's request.
class CFileExchange : public QObject
{
    Q_OBJECT
public:
    // A member of the view: no parent of its own.
    CFileExchange(CWharfDoc& doc, CListCtrlEx& list, CBrowserListModel& model, QWidget* window);
    ~CFileExchange() override;

    // Where staging folders go: the temporary folder (Tools > Set Temp Directory).
    static std::string StagingParent();
    // At start-up: staging folders of programs that have ended are removed,
    // in the temporary folder and the system's.
    static void SweepStaging();

    // Local files on the clipboard that are not wharf's own.
    bool ClipboardHasFiles() const { return m_clipboardFiles; }
    // Those, while connected with the engine free.
    bool MayPaste() const;
    // Rows are indexes into the browser's rows.
    void Copy(const std::vector<int>& rows);
    // The same for rows from anywhere on the server (Find's results): each
    // row's own folder is where it is downloaded from.
    void CopyRows(const std::vector<BrowserRow>& picked);
    // Into the folder (a remote path).
    void Paste(const std::wstring& folder);
    void DragOut(const std::vector<int>& rows);
    // The clipboard is cleared when it still holds this program's files, and
    // every staging folder of this program goes.
    void Shutdown();

    // The folder the clipboard's files are staged in (empty when none).
    const std::string& CurrentStaging() const { return m_current; }
    // How long a replaced Copy's folder stays, for a paste still reading it.
    void SetGracePeriod(int milliseconds) { m_grace = milliseconds; }
    // How long after a drag the destination may still arrive.
    void SetDestinationWait(int milliseconds) { m_destinationWait = milliseconds; }
    CMyDropTarget& DropTarget() { return *m_dropTarget; }

    // For tests: what runs the drag instead of QDrag::exec (a receiver of
    // their own), the Direct Save window, and the bus of the D-Bus convention.
    using DragRunner = std::function<Qt::DropAction(QDrag& drag, CMyDataSource& data)>;
    void SetDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }
    void SetDirectSaveWindow(IDirectSaveWindow* window) { m_directSave = window; }
    void SetArkBus(const QDBusConnection& bus);

    static const std::wstring SkippedText;
    static const std::wstring UseCopyText;

signals:
    // A drag's download has ended (or the drag gave no destination).
    void DragDone();

private:
    struct DragSession;
    bool EngineReady() const;
    bool RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination, JobKind kind);
    void Upload(const CFileUris::Parsed& files, const std::wstring& folder);
    void Dropped(const CFileUris::Parsed& files, int listRow);
    std::vector<BrowserRow> Rows(const std::vector<int>& rows) const;
    QByteArray AnswerDirectSave(const std::shared_ptr<DragSession>& session);
    // False when the folder is not one to write into.
    bool TakeDestination(const std::shared_ptr<DragSession>& session, const std::string& folder);
    void FinishDrag(const std::shared_ptr<DragSession>& session);
    void RemoveLater(const std::string& folder);

    CWharfDoc& m_doc;
    bool m_clipboardFiles = false;
    CListCtrlEx& m_list;
    CBrowserListModel& m_model;
    QWidget* m_window;
    CMyDropTarget* m_dropTarget;
    std::string m_current;
    std::vector<std::string> m_leaving;
    int m_grace = 10 * 60 * 1000;
    int m_destinationWait = 10 * 1000;
    DragRunner m_dragRunner;
    std::unique_ptr<IDirectSaveWindow> m_ownDirectSave;
    IDirectSaveWindow* m_directSave = nullptr;
    CArkDropService* m_ark = nullptr;
    std::shared_ptr<DragSession> m_drag;
};
