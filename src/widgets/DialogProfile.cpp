#include "DialogProfile.h"

#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <atomic>

namespace
{
std::atomic<CDialogProfile::Kind> profile{CDialogProfile::Desktop};
const char* const PageScrollName = "dialogPage";

// Fits a handheld dialog to its screen each time it is shown: the size of its
// whole page where that fits, the screen's room where it does not.
class CScreenFit : public QObject
{
public:
    CScreenFit(QDialog* dialog, QScrollArea* scroll) : QObject(dialog), m_dialog(dialog), m_scroll(scroll) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_dialog && event->type() == QEvent::Show)
            Fit();
        return QObject::eventFilter(watched, event);
    }

private:
    QSize WholeSize() const;
    void Fit();

    static constexpr int MarginPixels = 6;
    QDialog* m_dialog;
    QScrollArea* m_scroll;
    bool m_marginsSet = false;
};
} // namespace

void CDialogProfile::Set(Kind kind)
{
    profile.store(kind);
}

CDialogProfile::Kind CDialogProfile::Current()
{
    return profile.load();
}

QWidget* CDialogProfile::Page(QDialog* dialog)
{
    if (!IsHandheld())
        return dialog;
    auto* scroll = new QScrollArea(dialog);
    scroll->setObjectName(PageScrollName);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget;
    scroll->setWidget(page);
    auto* outer = new QVBoxLayout(dialog);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    dialog->installEventFilter(new CScreenFit(dialog, scroll));
    return page;
}

QScrollArea* CDialogProfile::ScrollArea(const QDialog* dialog)
{
    return dialog ? dialog->findChild<QScrollArea*>(PageScrollName, Qt::FindDirectChildrenOnly) : nullptr;
}

void CDialogProfile::SetMinimumWidth(QDialog* dialog, int width)
{
    if (!IsHandheld())
        dialog->setMinimumWidth(width);
}

QSize CScreenFit::WholeSize() const
{
    QWidget* page = m_scroll->widget();
    QSize size = page ? page->sizeHint().expandedTo(page->minimumSizeHint()) : QSize();
    if (page && page->layout() && page->layout()->hasHeightForWidth())
        size.setHeight(std::max(size.height(), page->layout()->totalHeightForWidth(size.width())));
    return size;
}

void CScreenFit::Fit()
{
    const QScreen* screen = m_dialog->screen();
    if (!screen)
        return;
    QWidget* page = m_scroll->widget();
    // A small screen has no room to spare around the contents.
    if (page && page->layout() && !m_marginsSet)
    {
        page->layout()->setContentsMargins(MarginPixels, MarginPixels, MarginPixels, MarginPixels);
        m_marginsSet = true;
    }
    // The window manager's frame takes its part of the screen too.
    const QMargins frame = m_dialog->windowHandle() ? m_dialog->windowHandle()->frameMargins() : QMargins();
    const QRect available = screen->availableGeometry();
    const QSize room = available.size().shrunkBy(frame);
    QSize want = WholeSize();
    const int bar = m_dialog->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    // A page cut in one direction gets that direction's bar, which takes room from the other.
    if (want.height() > room.height())
        want.rwidth() += bar;
    if (want.width() > room.width())
        want.rheight() += bar;
    const QSize fitted = want.boundedTo(room);
    m_dialog->setMinimumSize(m_dialog->minimumSize().boundedTo(fitted));
    m_dialog->setMaximumSize(room);
    m_dialog->resize(fitted);
    // Kept on the screen, frame and all, wherever the dialog was put to be
    // centred on its owner.
    const QSize outer = fitted.grownBy(frame);
    QPoint at = m_dialog->pos();
    at.setX(std::clamp(at.x(), available.left(), available.right() + 1 - outer.width()));
    at.setY(std::clamp(at.y(), available.top(), available.bottom() + 1 - outer.height()));
    m_dialog->move(at);
}
