#include "SkiffDoc.h"

namespace nsHandheld
{

CSkiffDoc::CSkiffDoc(QObject* parent) : QObject(parent), m_call(m_connection), m_browser(m_connection, m_call)
{
}

CSkiffDoc::~CSkiffDoc() = default;

void CSkiffDoc::SetTitle(const std::wstring& title)
{
    m_title = title;
    emit TitleChanged(QString::fromStdWString(title));
}

void CSkiffDoc::ResetContents()
{
    SetTitle(L"Disconnected");
    m_browser.Clear();
    if (m_connection.IsConnected())
        m_call.Run(L"Disconnecting", [this] { m_connection.Disconnect(); });
}

} // namespace nsHandheld
