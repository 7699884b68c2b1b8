#include "EngineCall.h"

#include "platform/Services.h"
#include "sites/SiteConnection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <optional>
#include <thread>

const QString CEngineCall::StoppedText =
    QStringLiteral("The wait for the server was stopped, so the connection to it was closed.");

CEngineCall::CEngineCall(CSiteConnection& connection, QObject* parent) : QObject(parent), m_connection(connection)
{
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(ShowAfterMilliseconds);
    connect(&m_showTimer, &QTimer::timeout, this,
            [this]
            {
                m_shown = true;
                emit WaitShown(true, m_what);
            });
}

CEngineCall::~CEngineCall() = default;

bool CEngineCall::Run(const std::wstring& what, const std::function<void()>& work)
{
    if (m_running)
        return false;
    m_running = true;
    m_stopRequested = false;
    m_what = QString::fromStdWString(what);
    if (!what.empty())
        m_showTimer.start();
    emit Started();

    // Taken here, on the interface thread, so a keep-alive tick that comes
    // while the worker starts already finds the engine in use.
    std::optional<CSiteConnection::BusyScope> busy(std::in_place, m_connection);
    m_connection.ClearStop();
    std::atomic<bool> finished{false};
    QEventLoop loop;
    std::thread worker(
        [&]
        {
            work();
            finished.store(true);
            // Wakes the loop below; the loop outlives the worker.
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
    // Queued and blocking calls of the worker (its message boxes) are served
    // here. An application that is quitting refuses new event loops, so the
    // events are then taken one batch at a time.
    while (!finished.load())
        if (loop.exec() != 0 && !finished.load())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    worker.join();
    busy.reset();

    m_showTimer.stop();
    const bool stopped = m_stopRequested;
    if (stopped)
        m_connection.CloseAfterStop();
    m_running = false;
    m_what.clear();
    if (m_shown)
    {
        m_shown = false;
        emit WaitShown(false, {});
    }
    if (stopped)
    {
        emit Stopped();
        platform::Services::MessageBoxes().Show(StoppedText.toStdWString(), platform::BoxIcon::Information,
                                                 platform::BoxButtons::Ok);
    }
    emit Finished();
    return !stopped;
}

void CEngineCall::Stop()
{
    if (!m_running || m_stopRequested)
        return;
    m_stopRequested = true;
    m_connection.Stop();
}
