#pragma once
#include "files/FileUris.h"

#include <QObject>
#include <functional>

class CListCtrlEx;
class QDropEvent;
class QFrame;
class QMimeData;
class QAbstractItemView;

// Takes local files dragged from a file manager onto the browser list. A drag
// is accepted only while the owner says so (connected, engine free), only as
// a copy, and never for wharf's own data. While it hovers, the folder row
// under the pointer is outlined; the selection stays as the user left it and
// the window is not raised. A drop returns at once: the owner gets the files
// and the row through a queued call, and uploads after the drop is over.
class CMyDropTarget : public QObject
{
    Q_OBJECT
public:
    struct Owner
    {
        std::function<bool()> mayDrop;
        // The list row holds a folder.
        std::function<bool(int listRow)> isFolder;
        // The files of a drop, and the folder row it landed on (-1: none).
        std::function<void(const CFileUris::Parsed& files, int listRow)> dropped;
    };

    CMyDropTarget(CListCtrlEx& list, Owner owner, QObject* parent = nullptr);

    // The local files a clipboard or a drag carries: the uri-list, else the
    // gnome list, else the mate list. Nothing for wharf's own data.
    static CFileUris::Parsed LocalFiles(const QMimeData* data);
    // LocalFiles names at least one local file.
    static bool OffersLocalFiles(const QMimeData* data);

    // The list row outlined while a drag hovers; -1 when none.
    int HighlightedRow() const { return m_highlighted; }
    QFrame* Highlight() const { return m_highlight; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Accepts(const QDropEvent& event) const;
    // The folder row under the point of the view, or -1.
    int FolderRowAt(QAbstractItemView& view, const QPoint& point) const;
    void ShowHighlight(QAbstractItemView& view, int listRow);

    CListCtrlEx& m_list;
    Owner m_owner;
    QFrame* m_highlight = nullptr;
    int m_highlighted = -1;
};
