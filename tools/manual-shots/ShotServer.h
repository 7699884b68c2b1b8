#pragma once
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The FTP server that the manual's screenshots show: pyftpdlib on a free
// loopback port, serving a sample tree made here with fixed contents and
// times, so every build shows the same folders.
class CShotServer
{
public:
    static constexpr const char* User = "demo";
    static constexpr const char* Password = "demo-secret";

    // python runs script, the server of scripts/run (ROOT USER PASSWORD PORT).
    CShotServer(QString python, QString script);
    // Stops the server by its process id.
    ~CShotServer();
    CShotServer(const CShotServer&) = delete;
    CShotServer& operator=(const CShotServer&) = delete;

    // False (with Error()) when the tree cannot be made or the server does
    // not report its port within the time.
    bool Start(int timeoutSeconds);
    quint16 Port() const { return m_port; }
    const QString& Error() const { return m_error; }

private:
    bool MakeTree(const QString& root);

    QString m_python;
    QString m_script;
    QTemporaryDir m_work;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
