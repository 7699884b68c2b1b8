#include "WharfDoc.h"

#include "platform/Services.h"

CWharfDoc::CWharfDoc(QObject* parent) : QObject(parent) {}

void CWharfDoc::SetTitle(const std::wstring& title)
{
    m_title = title;
    emit TitleChanged(QString::fromStdWString(title));
}

void CWharfDoc::ResetContents()
{
    SetTitle(L"Disconnected");
    if (!m_connection.IsConnected())
        return;
    m_connection.Disconnect();
    for (int pane = 1; pane <= 3; ++pane)
        platform::Services::SetStatusText(pane, L"");
}
