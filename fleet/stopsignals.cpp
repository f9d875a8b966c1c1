#include "fleet/stopsignals.h"

#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The pipe's writing end, for the handler; -1 while no StopSignals exists.
volatile sig_atomic_t writeEnd = -1;

struct sigaction earlierInt;
struct sigaction earlierTerm;
struct sigaction earlierHup;

extern "C" void onStopSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    if (writeEnd >= 0)
        (void)::write(writeEnd, &number, 1);
    errno = savedErrno;
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

StopSignals::StopSignals(QObject *parent, Hangup hangup)
    : QObject(parent)
    , m_catchesHangup(hangup == Hangup::Catch)
{
    if (writeEnd >= 0)
        return; // another one is active
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, m_pipe) != 0)
        return;
    if (!setNonBlocking(m_pipe[0]) || !setNonBlocking(m_pipe[1])) {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    writeEnd = m_pipe[1];
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &earlierInt);
    ::sigaction(SIGTERM, &action, &earlierTerm);
    if (m_catchesHangup)
        ::sigaction(SIGHUP, &action, &earlierHup);
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::readPipe);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    ::sigaction(SIGINT, &earlierInt, nullptr);
    ::sigaction(SIGTERM, &earlierTerm, nullptr);
    if (m_catchesHangup)
        ::sigaction(SIGHUP, &earlierHup, nullptr);
    writeEnd = -1;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void StopSignals::readPipe()
{
    unsigned char number = 0;
    while (::read(m_pipe[0], &number, 1) == 1) {
        if (number == SIGHUP) {
            emit hangup();
            continue;
        }
        if (m_caught == 0)
            m_caught = number;
        emit stopRequested(number);
    }
}
