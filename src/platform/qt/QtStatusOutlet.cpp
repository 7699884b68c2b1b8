#include "QtStatusOutlet.h"

#include <QMetaObject>
#include <QString>

namespace platform
{

void QtStatusOutlet::SetTarget(QObject* target)
{
    std::lock_guard lock(m_mutex);
    m_target = target;
}

void QtStatusOutlet::SetPaneText(int pane, const std::wstring& text)
{
    std::lock_guard lock(m_mutex);
    if (m_target)
        QMetaObject::invokeMethod(m_target.data(), "SetPaneText", Qt::QueuedConnection, Q_ARG(int, pane),
                                  Q_ARG(QString, QString::fromStdWString(text)));
}

} // namespace platform
