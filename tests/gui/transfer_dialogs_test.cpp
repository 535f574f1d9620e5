// Qt Test cases, offscreen, for a joining player's waits over loopback
// sessions: the download dialog follows its receiver to the end and its
// "Abort" ends the download; the synchronisation dialog starts the request,
// closes with OK at FINISHEDSYNC, and "Abort" makes it fail.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/transfer_dialogs.h"
#include "tests/net/transfer_rig.h"

using namespace pavalo;
using namespace pavalo::net;

namespace {

// Clicks "Abort" of the modal dialog once it shows, noting its caption.
void abortWhenShown(QString& caption) {
    QTimer::singleShot(20, [&caption] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return abortWhenShown(caption);
        caption = w->windowTitle();
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == "Abort") b->click();
    });
}

}  // namespace

class TransferDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void downloadDialogFollowsAndAborts() {
        test::TempFolder folder;
        auto host = test::hostMachine(test::gridPuzzle(4, 3));
        QVERIFY(host);
        auto player = test::joinMachine(test::gridPuzzle(4, 3), host->layer.session()->listenPort());
        QVERIFY(player);
        player->runUi();
        const auto picture = test::paddedBmp(300000);
        test::writeAll(folder.path / "p.bmp", picture);
        host->transfers.pictureService().setPicture((folder.path / "p.bmp").string());
        PictureReceiver& r = player->transfers.pictureReceiver();

        QVERIFY(r.start((folder.path / "copy.bmp").string(), uint32_t(picture.size())));
        runDownloadDialog(nullptr, r);
        QCOMPARE(int(r.status().phase), int(PictureReceiver::Phase::Done));
        QVERIFY(test::readAll(folder.path / "copy.bmp") == picture);

        host->transfers.pictureService().setAssumedRate(2000000);  // slow enough to abort
        QString caption;
        abortWhenShown(caption);
        QVERIFY(r.start((folder.path / "again.bmp").string(), uint32_t(picture.size())));
        runDownloadDialog(nullptr, r);
        QCOMPARE(caption, QStringLiteral("Downloading Image"));
        QCOMPARE(int(r.status().phase), int(PictureReceiver::Phase::Aborted));
        QVERIFY(!std::filesystem::exists(folder.path / "again.bmp"));
    }

    void syncDialogEndsWithFinishedSyncOrAbort() {
        auto host = test::hostMachine(test::gridPuzzle(30, 20));
        QVERIFY(host);
        host->ready();
        auto late = test::joinMachine(test::gridPuzzle(30, 20), host->layer.session()->listenPort());
        QVERIFY(late);
        late->setState(PlayerState::Synchronising);
        late->runUi();
        SyncReceiver& sync = late->transfers.syncReceiver();
        QVERIFY(runSyncDialog(nullptr, sync));
        QCOMPARE(sync.status().percent, 100);

        host->transfers.syncService().setAssumedRate(20000);  // 600 pieces take seconds
        QString caption;
        abortWhenShown(caption);
        QVERIFY(!runSyncDialog(nullptr, sync));
        QCOMPARE(caption, QStringLiteral("Synchronizing Piece Positions"));
        QCOMPARE(int(sync.status().phase), int(SyncReceiver::Phase::Aborted));
    }
};

QTEST_MAIN(TransferDialogsTest)
#include "transfer_dialogs_test.moc"
