#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP as a call on the GUI thread, so that the program ends as its own
// menu would end it: the handler only writes a byte to a pipe whose reading end a socket
// notifier watches. A second signal before the program has ended gets the handler that was in
// place before (as if this object were not there); so does every signal once it is destroyed.
// A signal the program was started ignoring (nohup) stays ignored. Nothing is done on Windows.
class clsEndSignals : public QObject {
public:
    explicit clsEndSignals(std::function<void()> end, QObject* parent = nullptr);
    ~clsEndSignals() override;

    // The signal that came, 0 while none has.
    int Received() const;

private:
    std::function<void()> end_;
    QSocketNotifier* notifier_ = nullptr;
};
