// The game ended from outside, as a real process: SIGTERM ends it at once,
// keeping the changed puzzle in the data folder, and the next start offers
// it. A second copy started meanwhile says so and fails.
#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/application.h"
#include "platform/commands.h"
#include "shell/recent_files.h"
#include "shell/recovery.h"

using namespace pavalo;

namespace {

void whenModal(std::function<void(QWidget*)> fn) {
    QTimer::singleShot(0, [fn] {
        if (QWidget* w = QApplication::activeModalWidget())
            fn(w);
        else
            whenModal(fn);
    });
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

class EndSignalTest : public QObject {
    Q_OBJECT
private slots:
    void termKeepsThePuzzleAndTheNextStartOffersIt() {
        QTemporaryDir home;
        const std::string folder = home.path().toStdString();
        qputenv("TAVORN_HOME", home.path().toUtf8());
        const std::string saved = folder + "/harbour.gvp";
        {
            LaunchOptions o;
            o.window = QSize(800, 600);
            o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/sunset-harbour.jpg";
            o.pieces = 60;
            o.seed = 3;
            Application app(o);
            QVERIFY(app.start());
            app.runStartRoutine();
            QVERIFY(app.document().saveAs(saved));
        }
        const std::string recent = folder + "/" + std::string(kRecentFilesName);
        std::filesystem::remove(recent);

        // The real game opens the puzzle and changes it (piece outlines switched).
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PAVALO_DEBUG_COMMANDS", QString::number(frame_command::kPieceOutlines));
        QProcess game;
        game.setProcessEnvironment(env);
        game.start(PAVALO_GAME, {"--window", "800x600", "--open", QString::fromStdString(saved)});
        QVERIFY(game.waitForStarted());
        // Opening writes the recent files; the change follows in the same step.
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(recent), 30000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(PAVALO_GAME, {"--window", "800x600"});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY2(second.readAllStandardError().contains("already running"), "the second copy says nothing");
        QCOMPARE(game.state(), QProcess::Running);

        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(game.processId()), SIGTERM);
        QVERIFY2(game.waitForFinished(2000), "SIGTERM did not end the game within two seconds");
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);
        QVERIFY(keptPuzzleWaiting(folder));
        QCOMPARE(fileText(recoveryNamePath(folder)), saved);

        // The next start asks; Yes brings the changed puzzle back under its name.
        QString asked;
        whenModal([&asked](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                w->close();
                return;
            }
            asked = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        LaunchOptions o;
        o.window = QSize(800, 600);
        Application app(o);
        QVERIFY(app.start());
        app.runStartRoutine();
        QCOMPARE(asked, QString(kRecoveryQuestion));
        QVERIFY(app.document().hasPuzzle());
        QCOMPARE(app.document().path(), saved);
        QVERIFY(app.document().modified());
        QVERIFY(!keptPuzzleWaiting(folder));
    }
};

QTEST_MAIN(EndSignalTest)
#include "end_signal_test.moc"
