#pragma once
#include <QObject>
#include <QTimer>

class CEngineCall;
class CSiteConnection;

// The keep-alive of a window's connection: after a quiet period (30 s) a
// connected site that asks for it gets its keep-alive command, through the
// window's engine call. Socket activity starts the period again; a tick that
// finds the engine at work (a job, a search, the window's own call) sends nothing.
class CKeepAlive : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultMilliseconds = 30000;

    CKeepAlive(CSiteConnection& connection, CEngineCall& call, QObject* parent = nullptr);

    // Tests shorten the period; the timer starts again.
    void SetPeriod(int milliseconds);
    int Period() const { return m_timer.interval(); }
    bool Active() const { return m_timer.isActive(); }
    int Remaining() const { return m_timer.remainingTime(); }

public slots:
    void Restart();

private:
    void OnTick();

    CSiteConnection& m_connection;
    CEngineCall& m_call;
    QTimer m_timer;
};
