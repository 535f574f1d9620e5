// EndSignals: SIGTERM, SIGINT and SIGHUP (a kill, Ctrl+C in the terminal,
// the desktop's logout) turned into a Qt signal on the user-interface
// thread. The handler only writes the signal's number into a socket pair
// (async-signal-safe); a socket notifier reads it in the event loop, nested
// loops of dialogs included.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace pavalo {

class EndSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object per process.
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;
    bool installed() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPending();
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace pavalo
