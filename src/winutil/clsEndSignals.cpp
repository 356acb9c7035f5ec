#include "winutil/clsEndSignals.h"

#ifndef _WIN32
#include <QSocketNotifier>

#include <csignal>
#include <iterator>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Ending[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler needs: set before it is installed, read in it.
int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t received = 0;
struct sigaction previous[std::size(Ending)];

void Restore() {
    for (std::size_t k = 0; k < std::size(Ending); ++k)
        sigaction(Ending[k], &previous[k], nullptr);
}

void OnSignal(int signal) {
    if (received) { // the program did not end in time: the signal does what it did before
        Restore();
        raise(signal);
        return;
    }
    received = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
}

} // namespace

clsEndSignals::clsEndSignals(std::function<void()> end, QObject* parent)
    : QObject(parent), end_(std::move(end)) {
    if (pipe(pipeEnds) != 0)
        return;
    for (const int fd : pipeEnds) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    received = 0;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        end_();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t k = 0; k < std::size(Ending); ++k) {
        sigaction(Ending[k], nullptr, &previous[k]);
        if (previous[k].sa_handler != SIG_IGN)
            sigaction(Ending[k], &action, nullptr);
    }
}

clsEndSignals::~clsEndSignals() {
    if (!notifier_)
        return;
    Restore();
    delete notifier_;
    for (int& fd : pipeEnds)
        close(std::exchange(fd, -1));
}

int clsEndSignals::Received() const {
    return received;
}

#else

clsEndSignals::clsEndSignals(std::function<void()> end, QObject* parent)
    : QObject(parent), end_(std::move(end)) {}

clsEndSignals::~clsEndSignals() = default;

int clsEndSignals::Received() const {
    return 0;
}

#endif
