#include "WharfDoc.h"

#include "platform/Services.h"

CWharfDoc::CWharfDoc(QObject* parent)
    : QObject(parent), m_call(m_connection), m_browser(m_connection, m_call)
{
}

CWharfDoc::~CWharfDoc() = default;

void CWharfDoc::SetTitle(const std::wstring& title)
{
    m_title = title;
    emit TitleChanged(QString::fromStdWString(title));
}

void CWharfDoc::ResetContents()
{
    SetTitle(L"Disconnected");
    m_browser.Clear();
    if (!m_connection.IsConnected())
        return;
    m_call.Run(L"Disconnecting", [this] { m_connection.Disconnect(); });
    for (int pane = 1; pane <= 3; ++pane)
        platform::Services::SetStatusText(pane, L"");
}
