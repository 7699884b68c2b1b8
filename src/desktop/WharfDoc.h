#pragma once
#include "files/RemoteBrowser.h"
#include "sites/SiteConnection.h"
#include "widgets/EngineCall.h"

#include <QObject>
#include <string>

// The one document: the site connection, the wait for its engine, the remote
// browser over both, and the connection state in its title.
class CWharfDoc : public QObject
{
    Q_OBJECT
public:
    explicit CWharfDoc(QObject* parent = nullptr);
    ~CWharfDoc() override;

    CSiteConnection& Connection() { return m_connection; }
    CEngineCall& Call() { return m_call; }
    CRemoteBrowser& Browser() { return m_browser; }
    const std::wstring& Title() const { return m_title; }
    void SetTitle(const std::wstring& title);
    // "Disconnected"; logs out (on the worker) and clears the rows and the
    // count panes when connected.
    void ResetContents();

signals:
    void TitleChanged(const QString& title);

private:
    CSiteConnection m_connection;
    CEngineCall m_call;
    CRemoteBrowser m_browser;
    std::wstring m_title;
};
