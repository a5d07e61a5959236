#include "TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <exception>
#include <utility>

namespace {

constexpr int EndingSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Written by the handler, read by the GUI thread; both ends stay open for the whole run.
int SignalPipe[2] = {-1, -1};

// Async-signal-safe: one write(2), errno kept for the code the signal interrupted.
void OnEndingSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &number, 1);
    errno = saved;
}

[[noreturn]] void EndAsTheSignalAsks(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    // Only reached when the signal's default action does not end a process.
    ::_exit(128 + signal);
}

}  // namespace

void InstallTerminationSignals(std::function<void()> beforeExit) {
    if (SignalPipe[0] != -1) return;
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        SignalPipe[0] = SignalPipe[1] = -1;
        return;
    }
    // Lives for the whole run, like the pipe.
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [beforeExit = std::move(beforeExit)] {
        unsigned char number = 0;
        ssize_t got = 0;
        do {
            got = ::read(SignalPipe[0], &number, 1);
        } while (got < 0 && errno == EINTR);
        if (got != 1) return;
        try {
            beforeExit();
        } catch (...) {
            // The program ends either way; what could be saved was.
        }
        EndAsTheSignalAsks(number);
    });
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : EndingSignals) {
        // A signal the program was started to ignore (nohup, a background job's SIGINT) stays ignored.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}
