#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGINT and SIGTERM into a Qt signal, so that a run stopped by Ctrl-C
// or by the system can still write what it knows before it exits. The
// handler only writes the signal's number into a pipe; the notifier on the
// pipe's other end emits stopRequested() on the thread this object lives on.
// While it exists the two signals no longer end the process; its destructor
// gives them back their earlier handlers. One at a time per process.
// A program that reloads its configuration on SIGHUP asks for that signal
// too: it then emits hangup() and stops nothing.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    enum class Hangup { Default, Catch };
    explicit StopSignals(QObject *parent = nullptr, Hangup hangup = Hangup::Default);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // False when the pipe or the handlers could not be set up; the signals
    // then end the process as before.
    bool isActive() const { return m_notifier != nullptr; }
    // The first signal caught (SIGINT or SIGTERM), or 0.
    int caughtSignal() const { return m_caught; }
    // The exit status of a program stopped by `signalNumber`: 128 + its
    // number, as a shell reports it (130 for SIGINT, 143 for SIGTERM).
    static int exitStatus(int signalNumber) { return 128 + signalNumber; }

signals:
    // Emitted once per signal caught, on this object's thread.
    void stopRequested(int signalNumber);
    // SIGHUP, with Hangup::Catch.
    void hangup();

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_caught = 0;
    bool m_catchesHangup = false;
};
