// The download and synchronisation dialogs: they poll their receivers a few
// times a second; the receivers' threads never touch a widget.
#include "app/transfer_dialogs.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace pavalo {

namespace {

constexpr int kPollMs = 50;

// A modal box with two lines, a bar and "Abort"; `poll` runs every few
// milliseconds and closes it by returning a result.
class WaitDialog : public QDialog {
public:
    WaitDialog(QWidget* parent, const char* caption) : QDialog(parent) {
        setWindowTitle(QString::fromUtf8(caption));
        setModal(true);
        auto* layout = new QVBoxLayout(this);
        first = new QLabel(this);
        second = new QLabel(this);
        bar = new QProgressBar(this);
        bar->setRange(0, 100);
        bar->setMinimumWidth(320);
        auto* abort = new QPushButton(QStringLiteral("Abort"), this);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addWidget(bar);
        layout->addWidget(abort, 0, Qt::AlignHCenter);
        connect(abort, &QPushButton::clicked, this, &QDialog::reject);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (poll) poll(*this);
        });
        timer_.start(kPollMs);
    }
    std::function<void(WaitDialog&)> poll;
    QLabel* first;
    QLabel* second;
    QProgressBar* bar;

private:
    QTimer timer_;
};

}  // namespace

void runDownloadDialog(QWidget* parent, net::PictureReceiver& receiver) {
    WaitDialog dialog(parent, net::kDownloadCaption);
    dialog.first->setText(QString::fromUtf8(net::kRequestingImage));
    net::DownloadProgressView view;
    dialog.poll = [&](WaitDialog& d) {
        const net::PictureReceiver::Status s = receiver.status();
        if (s.received > 0 && view.update(s.received, s.size, s.elapsedMs)) {
            d.first->setText(QString::fromStdString(view.receivedLine()));
            d.second->setText(QString::fromStdString(view.remainingLine()));
            d.bar->setValue(view.percent());
        }
        if (receiver.finished()) {
            if (s.phase == net::PictureReceiver::Phase::Done)
                d.accept();
            else
                d.reject();
        }
    };
    if (dialog.exec() != QDialog::Accepted && !receiver.finished()) receiver.abort();
}

bool runSyncDialog(QWidget* parent, net::SyncReceiver& receiver) {
    WaitDialog dialog(parent, net::kSyncCaption);
    dialog.first->setText(QString::fromUtf8(net::kSyncPleaseWait));
    dialog.second->setText(QString::fromUtf8(net::kRequestingSync));
    receiver.start();
    dialog.poll = [&](WaitDialog& d) {
        const net::SyncReceiver::Status s = receiver.status();
        d.second->setText(QString::fromUtf8(net::SyncReceiver::statusLine(s.phase)));
        d.bar->setValue(s.percent);
        if (receiver.finished()) {
            if (s.phase == net::SyncReceiver::Phase::Finished)
                d.accept();
            else
                d.reject();
        }
    };
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (!ok) receiver.abort();
    return ok && receiver.status().phase == net::SyncReceiver::Phase::Finished;
}

}  // namespace pavalo
