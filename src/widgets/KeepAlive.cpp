#include "KeepAlive.h"

#include "EngineCall.h"
#include "sites/SiteConnection.h"

CKeepAlive::CKeepAlive(CSiteConnection& connection, CEngineCall& call, QObject* parent)
    : QObject(parent), m_connection(connection), m_call(call)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(DefaultMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &CKeepAlive::OnTick);
    m_timer.start();
}

void CKeepAlive::SetPeriod(int milliseconds)
{
    m_timer.setInterval(milliseconds);
    m_timer.start();
}

void CKeepAlive::Restart()
{
    m_timer.start();
}

void CKeepAlive::OnTick()
{
    if (m_call.Busy() || m_connection.IsBusy())
        return;
    if (m_connection.IsConnected() && m_connection.CurrentSite().KeepAlive() != 0)
        m_call.Run(L"", [this] { m_connection.KeepAliveNow(); });
}
