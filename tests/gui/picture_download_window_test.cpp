// The window joins a headless host over loopback without the host's picture
// (its path is too long to send whole, so only the file name arrives and no
// such file is here): the window asks, proposes the name in the data
// folder's downloads folder, shows "Downloading Image" and goes on into the
// waiting room and the game with the picture byte for byte. Aborting the
// download instead leaves no file behind and the window back where it began.
// Joining a game already running, the window is synchronised.
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "app/application.h"
#include "app/net_dialogs_qt.h"
#include "app/network_game.h"
#include "app/network_play.h"
#include "media/jpeg_writer.h"
#include "net/headless_setup.h"
#include "tests/net/scripted_person.h"

using namespace pavalo;
using namespace pavalo::net;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A host on its own thread: hosts a cooperative game of `picture`, starts
// it once `players` (itself included) are in and ready, runs `playing` once
// when the game runs, then keeps the session's messages flowing until the
// test ends.
struct Host {
    HeadlessGame game{test::loopbackSettings()};
    HeadlessSetup headless{game};
    test::Person person;
    Preferences prefs;
    NetGameSetup setup{headless, person, prefs};
    std::atomic<bool> stop{false}, started{false};
    std::thread thread;

    Host(const std::string& name, const std::string& picture, size_t players = 2,
         std::function<void(HeadlessGame&)> playing = {}) {
        person.name = name;
        person.picture = picture;
        person.gameType = kGameCooperative;
        person.room = [this, players](NetGameSetup& s) {
            while (!stop && !(s.players().size() == players && s.allReady())) s.pump(10);
            return !stop && !s.begin() ? RoomResult::Start : RoomResult::Exit;
        };
        headless.attach(setup);
        thread = std::thread([this, playing] {
            if (setup.host(5) && playing) playing(game);
            started = setup.step() == NetGameSetup::Step::Playing;
            while (!stop) setup.pump(10);
        });
    }
    ~Host() {
        stop = true;
        thread.join();
        setup.leave();
    }
    uint16_t port() {
        Session* s = game.layer().session();
        return s ? s->listenPort() : 0;
    }
};

}  // namespace

class PictureDownloadWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;
    fs::path pictures_;

    // A noisy JPEG at a path of more than 127 characters.
    std::string makePicture(const std::string& name, int w, int h) {
        std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
        std::mt19937 r{uint32_t(w)};
        for (uint8_t& v : rgb) v = uint8_t(r());
        const std::string path = (pictures_ / name).string();
        return saveJpeg(path, w, h, 3, rgb) ? path : std::string();
    }

    fs::path downloads() const { return fs::path(app_->dataFolderPath()) / kDownloadsFolder; }

    // Answers the join dialogs the way a player would; `onDownload` gets
    // the download window each time it looks at it.
    struct Person {
        QStringList seen;
        QString question, proposed;
        QStringList messages;
        std::function<void(QDialog&)> onDownload;
    };
    void answer(Person& p, const QString& hostName) {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        if (auto* name = qobject_cast<PlayerNameWindow*>(w)) {
            p.seen << "name";
            name->nameEdit()->setText("Win");
            emit name->nameEdit()->textEdited("Win");
            name->accept();
        } else if (auto* connection = qobject_cast<QInputDialog*>(w)) {
            p.seen << "connection";
            connection->accept();
        } else if (auto* join = qobject_cast<JoinGameWindow*>(w)) {
            const QList<QListWidgetItem*> found = join->sessionList()->findItems(hostName, Qt::MatchExactly);
            if (found.isEmpty()) return;
            p.seen << "join";
            join->sessionList()->setCurrentItem(found.front());
            join->joinButton()->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (box->button(QMessageBox::Yes)) {
                p.seen << "question";
                p.question = box->text();
                box->button(QMessageBox::Yes)->click();
            } else {
                p.seen << "message";
                p.messages << box->text();
                box->accept();
            }
        } else if (auto* save = qobject_cast<QFileDialog*>(w)) {
            p.seen << "save";
            p.proposed = save->selectedFiles().value(0);
            QMetaObject::invokeMethod(save, "accept", Qt::DirectConnection);
        } else if (qobject_cast<WaitingRoomWindow*>(w)) {
            if (!p.seen.contains("room")) p.seen << "room";
        } else if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->windowTitle() == kDownloadCaption) {
            if (!p.seen.contains("download")) p.seen << "download";
            if (p.onDownload) p.onDownload(*dialog);
        } else if (w->windowTitle() == kSyncCaption) {
            if (!p.seen.contains("sync")) p.seen << "sync";
        }
    }

private slots:
    void initTestCase() {
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toUtf8());
        pictures_ = fs::path(home_.path().toStdString()) / std::string(140, 'p');
        fs::create_directories(pictures_);
        LaunchOptions o;
        o.window = QSize(HeadlessGame::kPlayWidth, HeadlessGame::kPlayHeight);
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        // The join list asks the host's discovery socket directly: a
        // socket bound to 127.0.0.1 hears no broadcast.
        NetSettings settings = test::loopbackSettings();
        settings.broadcastAddress = "127.0.0.1";
        app_->setNetSettings(settings);
    }

    // Abort while the blocks come slowly: no file, no session, no thread.
    void abortLeavesNothingBehind() {
        const std::string picture = makePicture("slow-lighthouse.jpg", 320, 240);
        QVERIFY(!picture.empty());
        QVERIFY(picture.size() > 127);
        Host host("Ada", picture);
        // About two seconds a kilobyte: the download is far from done when
        // the player aborts.
        host.headless.transfers().pictureService().setAssumedRate(5000);
        QVERIFY(QTest::qWaitFor([&] { return host.port() != 0; }, 10000));

        Person p;
        QString progress;
        p.onDownload = [&](QDialog& d) {
            for (QLabel* l : d.findChildren<QLabel*>())
                if (l->text().startsWith("Received ")) progress = l->text();
            if (progress.isEmpty()) return;
            for (QPushButton* b : d.findChildren<QPushButton*>())
                if (b->text() == "Abort") b->click();
        };
        QTimer person;
        connect(&person, &QTimer::timeout, [&] { answer(p, "Ada"); });
        person.start(20);
        const bool joined = app_->runNetworkGame(false);
        person.stop();

        QVERIFY(!joined);
        QCOMPARE(p.seen, (QStringList{"name", "connection", "join", "question", "save", "download", "message"}));
        QVERIFY(p.question.startsWith(kDownloadQuestion));
        QCOMPARE(p.proposed, QString::fromStdString((downloads() / "slow-lighthouse.jpg").string()));
        const QString size = QString::number(fs::file_size(picture));
        QVERIFY2(progress.endsWith(" of " + size + " bytes"), qPrintable(progress));
        QCOMPARE(p.messages, QStringList{QString::fromUtf8(document_text::kImageNotFound)});
        // Nothing in the downloads folder, not even a temporary file, and no
        // library entry; the window has left the session.
        QVERIFY(fs::is_empty(downloads()));
        QVERIFY(!fs::exists(fs::path(app_->dataFolderPath()) / kDownloadsLibrary));
        QVERIFY(!app_->networkPlay());
        QTRY_COMPARE_WITH_TIMEOUT(host.game.layer().playerTable().inUseCount(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(host.headless.transfers().pictureService().activeSenders(), 0, 5000);
    }

    // The picture arrives whole and the game starts on it.
    void downloadedPictureStartsTheGame() {
        const std::string picture = makePicture("harbour-at-dusk.jpg", 240, 180);
        QVERIFY(!picture.empty());
        Host host("Bea", picture);
        QVERIFY(QTest::qWaitFor([&] { return host.port() != 0; }, 10000));

        Person p;
        QTimer person;
        connect(&person, &QTimer::timeout, [&] { answer(p, "Bea"); });
        person.start(20);
        const bool joined = app_->runNetworkGame(false);
        person.stop();

        QCOMPARE(p.seen, (QStringList{"name", "connection", "join", "question", "save", "download", "room"}));
        QVERIFY(joined);
        QTRY_VERIFY_WITH_TIMEOUT(host.started, 5000);
        const fs::path saved = downloads() / "harbour-at-dusk.jpg";
        QCOMPARE(p.proposed, QString::fromStdString(saved.string()));
        QVERIFY(readAll(saved) == readAll(picture));
        QCOMPARE(QString::fromStdString(app_->networkPlay()->setup().picture()), QString::fromStdString(saved.string()));
        QVERIFY(app_->document().hasPuzzle());
        QCOMPARE(app_->model().pieceCount(), host.game.model().pieceCount());
        // Listed in the Downloads library of the data folder.
        const std::vector<uint8_t> library = readAll(fs::path(app_->dataFolderPath()) / kDownloadsLibrary);
        const std::string savedPath = saved.string();
        QVERIFY(std::search(library.begin(), library.end(), savedPath.begin(), savedPath.end()) != library.end());
        app_->networkPlay()->leave();
    }

    // A running game: the window, which has the picture, waits in
    // "Synchronizing Piece Positions" and then has the pieces where the host
    // moved them before it came.
    void latecomerIsSynchronised() {
        const std::string picture = (fs::path(home_.path().toStdString()) / "meadow.jpg").string();
        {
            std::vector<uint8_t> rgb(200 * 150 * 3);
            for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 / 5);
            QVERIFY(saveJpeg(picture, 200, 150, 3, rgb));
        }
        Host host("Cy", picture, 1, [](HeadlessGame& g) {
            PuzzleModel& m = g.model();
            for (int32_t i = 0; i < m.pieceCount(); ++i)
                if (m.listOfPiece(i) == ListId::Main) m.moveGroup(ListId::Main, i, 100 + 37 * i, 90 + 23 * i);
        });
        // A few records a second: the dialog stays up a while.
        host.headless.transfers().syncService().setAssumedRate(8000);
        QTRY_VERIFY_WITH_TIMEOUT(host.started, 10000);

        Person p;
        QTimer person;
        connect(&person, &QTimer::timeout, [&] { answer(p, "Cy"); });
        person.start(20);
        const bool joined = app_->runNetworkGame(false);
        person.stop();

        QCOMPARE(p.seen, (QStringList{"name", "connection", "join", "sync"}));
        QVERIFY(joined);
        QVERIFY(app_->networkPlay()->setup().latecomer());
        PuzzleModel& mine = app_->model();
        PuzzleModel& theirs = host.game.model();
        QCOMPARE(mine.pieceCount(), theirs.pieceCount());
        for (int32_t i = 0; i < mine.pieceCount(); ++i) {
            QCOMPARE(mine.listOfPiece(i), theirs.listOfPiece(i));
            QCOMPARE(mine.piece(i).x, theirs.piece(i).x);
            QCOMPARE(mine.piece(i).y, theirs.piece(i).y);
        }
        app_->networkPlay()->leave();
    }

    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(PictureDownloadWindowTest)
#include "picture_download_window_test.moc"
