#include "ShotServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace
{
// 12 June 2025, 09:30 UTC.
constexpr time_t FixedTime = 1749720600;

// Contents that look like data and are the same in every build.
QByteArray Filler(qsizetype size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        data[i] = static_cast<char>(seed >> 24);
    }
    return data;
}

QString ReadLog(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}
} // namespace

CShotServer::CShotServer(QString python, QString script)
    : m_python(std::move(python)), m_script(std::move(script))
{
}

CShotServer::~CShotServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool CShotServer::MakeTree(const QString& root)
{
    struct Entry
    {
        const char* path;
        QByteArray content;
    };
    const Entry files[] = {
        {"README.txt", "Welcome to the Tessel demo server.\n"},
        {"archive.zip", Filler(1572864, 1)},
        {"empty.dat", ""},
        {"docs/index.html", "<html><body><h1>Demo</h1></body></html>\n"},
        {"docs/page.htm", "<html><body>old page</body></html>\n"},
        {"docs/NOTES.TXT", "Notes in upper case.\n"},
        {"docs/manuals/chapter1.txt", "First chapter.\n"},
        {"images/photo.jpg", Filler(2048, 2)},
        {"images/diagram.png", Filler(70000, 3)},
        {"music/track.mp3", Filler(300000, 4)},
        {"src/main.c", "#include <stdio.h>\nint main(void) { puts(\"hi\"); return 0; }\n"},
        {"src/lib/helper.c", "void helper(void) {}\n"},
        {"src/build.sh", "#!/bin/sh\necho demo\n"},
    };
    const QDir base(root);
    if (!base.mkpath("empty folder"))
        return false;
    for (const Entry& entry : files)
    {
        const QString path = base.filePath(entry.path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(entry.content) != entry.content.size())
            return false;
    }
    std::error_code error;
    std::filesystem::create_directory_symlink("docs", (root + "/latest").toStdString(), error);

    // One fixed time for everything, links included, so the listing reads the
    // same in every build.
    const timespec times[2] = {{FixedTime, 0}, {FixedTime, 0}};
    for (const auto& item : std::filesystem::recursive_directory_iterator(root.toStdString()))
        ::utimensat(AT_FDCWD, item.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
    return true;
}

bool CShotServer::Start(int timeoutSeconds)
{
    const QString root = m_work.filePath("root");
    if (!m_work.isValid() || !MakeTree(root))
    {
        m_error = "cannot make the sample tree in " + m_work.path();
        return false;
    }
    m_process.setProgram(m_python);
    m_process.setArguments({m_script, root, User, Password, "0"});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // The server logs every command; a pipe nobody reads would fill and stop it.
    const QString log = m_work.filePath("server.log");
    m_process.setStandardErrorFile(log);
    m_process.start();
    const QDeadlineTimer deadline(timeoutSeconds * 1000);
    QByteArray output;
    while (!output.contains('\n'))
    {
        if (m_process.state() == QProcess::NotRunning ||
            (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
             deadline.hasExpired()))
            break;
        output += m_process.readAllStandardOutput();
    }
    bool ok = false;
    const uint port = output.left(output.indexOf('\n')).trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
    {
        m_error = QString("the FTP server (%1 %2) did not start and report its port within %3 seconds:\n%4")
                      .arg(m_python, m_script)
                      .arg(timeoutSeconds)
                      .arg(ReadLog(log));
        return false;
    }
    m_port = static_cast<quint16>(port);
    return true;
}
