#include "MyDropTarget.h"

#include "MyDataSource.h"
#include "widgets/ListCtrlEx.h"

#include <QAbstractItemView>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFrame>
#include <QListView>
#include <QMimeData>
#include <QTreeView>

CMyDropTarget::CMyDropTarget(CListCtrlEx& list, Owner owner, QObject* parent)
    : QObject(parent), m_list(list), m_owner(std::move(owner))
{
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(list.DetailsView()),
                                    static_cast<QAbstractItemView*>(list.ListView())})
    {
        view->setAcceptDrops(true);
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
    }
}

CFileUris::Parsed CMyDropTarget::LocalFiles(const QMimeData* data)
{
    if (!data || CMyDataSource::IsOwn(data))
        return {};
    const std::string host = CFileUris::HostName();
    for (const QString& format :
         {CMyDataSource::UriListFormat, CMyDataSource::GnomeFormat, CMyDataSource::MateFormat})
    {
        if (!data->hasFormat(format))
            continue;
        const QByteArray bytes = data->data(format);
        const std::string_view text(bytes.constData(), static_cast<size_t>(bytes.size()));
        CFileUris::Parsed parsed = format == CMyDataSource::UriListFormat
                                       ? CFileUris::ParseUriList(text, host)
                                       : CFileUris::ParseCopiedFiles(text, host);
        if (!parsed.paths.empty() || !parsed.skipped.empty())
            return parsed;
    }
    return {};
}

bool CMyDropTarget::OffersLocalFiles(const QMimeData* data)
{
    return !LocalFiles(data).paths.empty();
}

bool CMyDropTarget::Accepts(const QDropEvent& event) const
{
    // A drop is only ever a copy: the file manager must never delete its files.
    return (event.possibleActions() & Qt::CopyAction) && m_owner.mayDrop && m_owner.mayDrop() &&
           OffersLocalFiles(event.mimeData());
}

int CMyDropTarget::FolderRowAt(QAbstractItemView& view, const QPoint& point) const
{
    const QModelIndex index = view.indexAt(point);
    if (!index.isValid() || !m_owner.isFolder || !m_owner.isFolder(index.row()))
        return -1;
    return index.row();
}

void CMyDropTarget::ShowHighlight(QAbstractItemView& view, int listRow)
{
    m_highlighted = listRow;
    if (listRow < 0)
    {
        if (m_highlight)
            m_highlight->hide();
        return;
    }
    if (!m_highlight || m_highlight->parentWidget() != view.viewport())
    {
        delete m_highlight;
        m_highlight = new QFrame(view.viewport());
        m_highlight->setFrameShape(QFrame::Box);
        m_highlight->setLineWidth(2);
        m_highlight->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_highlight->setStyleSheet(QStringLiteral("QFrame { color: palette(highlight); }"));
    }
    QRect row = view.visualRect(view.model()->index(listRow, 0));
    if (auto* details = qobject_cast<QTreeView*>(&view))
        row.setRight(details->viewport()->width() - 1);
    m_highlight->setGeometry(row);
    m_highlight->show();
    m_highlight->raise();
}

bool CMyDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::DragLeave &&
        type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    QAbstractItemView* view = nullptr;
    for (QAbstractItemView* one : {static_cast<QAbstractItemView*>(m_list.DetailsView()),
                                   static_cast<QAbstractItemView*>(m_list.ListView())})
        if (one->viewport() == watched)
            view = one;
    if (!view)
        return QObject::eventFilter(watched, event);

    if (type == QEvent::DragLeave)
    {
        ShowHighlight(*view, -1);
        return true;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    if (!Accepts(*drop))
    {
        ShowHighlight(*view, -1);
        drop->setDropAction(Qt::IgnoreAction);
        drop->ignore();
        return true;
    }
    const int row = FolderRowAt(*view, drop->position().toPoint());
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type != QEvent::Drop)
    {
        ShowHighlight(*view, row);
        return true;
    }
    ShowHighlight(*view, -1);
    // The file manager waits for the drop to return: the upload comes after.
    const CFileUris::Parsed files = LocalFiles(drop->mimeData());
    QMetaObject::invokeMethod(
        this,
        [this, files, row]
        {
            if (m_owner.dropped)
                m_owner.dropped(files, row);
        },
        Qt::QueuedConnection);
    return true;
}
