#pragma once
#include "files/LocalBrowser.h"
#include "files/RemoteBrowser.h"
#include "sites/SiteConnection.h"
#include "widgets/EngineCall.h"

#include <QObject>
#include <string>

namespace nsHandheld
{

// The one document of skiff: the site connection, the wait for its engine,
// the remote browser over both, the local folder page, and the connection
// state in its title.
class CSkiffDoc : public QObject
{
    Q_OBJECT
public:
    explicit CSkiffDoc(QObject* parent = nullptr);
    ~CSkiffDoc() override;

    CSiteConnection& Connection() { return m_connection; }
    CEngineCall& Call() { return m_call; }
    CRemoteBrowser& Browser() { return m_browser; }
    CLocalBrowser& Local() { return m_local; }
    const std::wstring& Title() const { return m_title; }
    void SetTitle(const std::wstring& title);
    // "Disconnected"; logs out (on the worker) when connected, and the remote
    // page's rows go with the connection.
    void ResetContents();

signals:
    void TitleChanged(const QString& title);

private:
    CSiteConnection m_connection;
    CEngineCall m_call;
    CRemoteBrowser m_browser;
    CLocalBrowser m_local;
    std::wstring m_title;
};

} // namespace nsHandheld
