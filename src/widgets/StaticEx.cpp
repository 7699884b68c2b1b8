#include "StaticEx.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

CStaticEx::CStaticEx(QWidget* parent) : QWidget(parent)
{
    setFixedSize(IconSize(), IconSize());
}

void CStaticEx::SetIcon(const QIcon& icon)
{
    m_icon = icon;
    update();
}

int CStaticEx::IconSize()
{
    return QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
}

QSize CStaticEx::sizeHint() const
{
    return {IconSize(), IconSize()};
}

void CStaticEx::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (!m_icon.isNull())
        m_icon.paint(&painter, QRect(0, 0, IconSize(), IconSize()), Qt::AlignLeft | Qt::AlignTop);
}
