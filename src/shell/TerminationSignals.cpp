#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace vexana::shell {

namespace {

constexpr std::array<int, 3> caught = {SIGTERM, SIGINT, SIGHUP};

// The end the handler writes to; -1 while no instance listens.
volatile std::sig_atomic_t writeEnd = -1;

} // namespace

void TerminationSignals::handle(int signal) {
    const int saved = errno;
    const int fd = writeEnd;
    if (fd >= 0) {
        const char byte = static_cast<char>(signal);
        // Non-blocking: with the pipe full, enough requests are waiting already.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

TerminationSignals::TerminationSignals(std::function<void(int)> received, QObject* parent)
    : QObject(parent), received_(std::move(received)) {
    if (writeEnd >= 0) return; // another instance has the signals
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    writeEnd = fds_[0];
    for (std::size_t i = 0; i < caught.size(); ++i) {
        struct sigaction now {};
        now.sa_handler = &TerminationSignals::handle;
        sigemptyset(&now.sa_mask);
        now.sa_flags = SA_RESTART;
        if (::sigaction(caught[i], nullptr, &former_[i]) != 0 || former_[i].sa_handler == SIG_IGN)
            continue;
        installed_[i] = ::sigaction(caught[i], &now, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals() {
    for (std::size_t i = 0; i < caught.size(); ++i)
        if (installed_[i]) ::sigaction(caught[i], &former_[i], nullptr);
    if (notifier_) {
        writeEnd = -1;
        delete notifier_;
    }
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

void TerminationSignals::drain() {
    // Several signals may have come at once; they ask for one and the same thing.
    int last = 0;
    char bytes[64];
    for (;;) {
        const ssize_t n = ::read(fds_[1], bytes, sizeof bytes);
        if (n > 0) {
            last = bytes[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    if (last && received_) received_(last);
}

} // namespace vexana::shell
