#pragma once
#include "sites/IEngineRunner.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>

class CSiteConnection;
class QEventLoop;

// Runs the engine work of a window on a worker thread while the interface
// thread keeps running its event loop: the window paints, its menus open and
// Stop is heard. One call at a time; the site connection is marked busy
// meanwhile, so the keep-alive stays off the engine.
//
// Stop ends the wait at once: every socket wait of the engine gives up, the
// work ends, the connection is closed, and a message says why.
class CEngineCall : public QObject, public IEngineRunner
{
    Q_OBJECT
public:
    // A wait shorter than this shows nothing, so quick calls do not flicker.
    static constexpr int ShowAfterMilliseconds = 250;

    explicit CEngineCall(CSiteConnection& connection, QObject* parent = nullptr);
    // Must not be destroyed while Run is on the stack.
    ~CEngineCall() override;

    // On the interface thread. Returns when the work has ended; false when it
    // was stopped, or refused because another call is running.
    bool Run(const std::wstring& what, const std::function<void()>& work) override;
    // On the interface thread; does nothing while idle.
    void Stop();

    bool Busy() const { return m_running; }
    // What is being waited for; empty while idle and for quiet work.
    QString What() const { return m_what; }
    // Whether the wait is being shown (it lasted ShowAfterMilliseconds).
    bool Shown() const { return m_shown; }

    // The text of the message shown after a stop.
    static const QString StoppedText;

signals:
    // Work has started; Busy() is true.
    void Started();
    // A wait has lasted long enough to be shown (true), or a shown one ended (false).
    void WaitShown(bool shown, const QString& what);
    // Stopped work has ended and the connection is closed.
    void Stopped();
    // Any call has ended; Busy() is false again.
    void Finished();

private:
    CSiteConnection& m_connection;
    bool m_running = false;
    bool m_shown = false;
    bool m_stopRequested = false;
    QString m_what;
    QTimer m_showTimer;
};
