#pragma once
#include "sites/SiteConnection.h"

#include <QObject>
#include <string>

// The one document: the site connection, and the connection state in its title.
class CWharfDoc : public QObject
{
    Q_OBJECT
public:
    explicit CWharfDoc(QObject* parent = nullptr);

    CSiteConnection& Connection() { return m_connection; }
    const std::wstring& Title() const { return m_title; }
    void SetTitle(const std::wstring& title);
    // "Disconnected"; logs out and clears the count panes when connected.
    void ResetContents();

signals:
    void TitleChanged(const QString& title);

private:
    CSiteConnection m_connection;
    std::wstring m_title;
};
