#pragma once

#include <QObject>
#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace vexana::shell {

// SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C, a closed terminal) arrive as a call on
// the event loop instead of ending the program where it stands. The handler only writes the
// signal's number into a socket pair, the one thing safe there; the notifier of the other end
// passes it on. A signal the program was started to ignore stays ignored. One instance at a
// time; the former handlers come back when it ends.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void(int signal)> received,
                                QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the socket pair could not be made: the signals then end the program as before.
    bool active() const { return notifier_ != nullptr; }

private:
    static void handle(int signal);
    void drain();

    std::function<void(int)> received_;
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::array<struct sigaction, 3> former_{};
    std::array<bool, 3> installed_{};
};

} // namespace vexana::shell
