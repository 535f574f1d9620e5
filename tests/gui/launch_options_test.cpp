// The game's command line: options, and the bare file name a file manager or
// a desktop launcher passes (a saved puzzle opens, a picture starts a new
// puzzle).
#include <QtTest>

#include "app/application.h"

using namespace pavalo;

namespace {

struct Parsed {
    bool ok = false;
    LaunchOptions options;
    QString error;
};

Parsed parse(const QStringList& args) {
    Parsed p;
    p.ok = parseLaunchOptions(QStringList{"pavalo"} + args, p.options, p.error);
    return p;
}

}  // namespace

class LaunchOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void noArgumentsShowsTheStartDialog() {
        const Parsed p = parse({});
        QVERIFY(p.ok);
        QVERIFY(!p.options.openFile && !p.options.newPicture);
        QVERIFY(p.options.window.isEmpty());
    }

    void bareSavedPuzzleIsOpened() {
        for (const QString& name : {QStringLiteral("/home/a/my puzzle.gvp"), QStringLiteral("OLD.GVP")}) {
            const Parsed p = parse({name});
            QVERIFY2(p.ok, qPrintable(p.error));
            QCOMPARE(p.options.openFile.value_or(""), name.toStdString());
            QVERIFY(!p.options.newPicture);
        }
    }

    void barePictureStartsANewPuzzle() {
        for (const QString& name : {QStringLiteral("/tmp/lake.jpg"), QStringLiteral("anim.wda"),
                                    QStringLiteral("gvp"), QStringLiteral("x.gvp.bmp")}) {
            const Parsed p = parse({name});
            QVERIFY2(p.ok, qPrintable(p.error));
            QCOMPARE(p.options.newPicture.value_or(""), name.toStdString());
            QVERIFY(!p.options.openFile);
        }
    }

    void bareFileMixesWithOptionsInAnyOrder() {
        const Parsed p = parse({"--pieces", "200", "lake.bmp", "--window", "800x600", "--seed", "9", "--rotate"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.newPicture.value_or(""), std::string("lake.bmp"));
        QCOMPARE(p.options.pieces.value_or(0), 200);
        QCOMPARE(p.options.seed.value_or(0), 9u);
        QVERIFY(p.options.rotate);
        QCOMPARE(p.options.window, QSize(800, 600));
    }

    void optionValuesAreNotTakenForFiles() {
        // The value after --screenshot, --second-screenshot or --open is that
        // option's, not a bare file.
        const Parsed p = parse({"--screenshot", "shot.png", "--second-screenshot", "later.png", "--open", "a.gvp"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.screenshot.value_or(""), std::string("shot.png"));
        QCOMPARE(p.options.secondScreenshot.value_or(""), std::string("later.png"));
        QCOMPARE(p.options.openFile.value_or(""), std::string("a.gvp"));
        QVERIFY(!p.options.newPicture);
    }

    void choosePictureTakesNoValue() {
        const Parsed p = parse({"--choose-picture", "--window", "800x600"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QVERIFY(p.options.choosePicture);
        QCOMPARE(p.options.window, QSize(800, 600));
        QVERIFY(!parse({}).options.choosePicture);
    }

    void refusesTwoBareFilesAndUnknownOptions() {
        const Parsed two = parse({"a.gvp", "b.jpg"});
        QVERIFY(!two.ok);
        QVERIFY(two.error.contains("b.jpg"));
        QVERIFY(!parse({"-h"}).ok);
        QVERIFY(!parse({"--bogus", "x"}).ok);
        QVERIFY(!parse({"--pieces"}).ok);
        QVERIFY(!parse({"--window", "100x100"}).ok);
    }

    // What `pavalo-tool lobby --windows` passes a joining window.
    void lobbyArgumentsMakeTheConnectionSettings() {
        const Parsed joiner = parse({"--lobby", "127.0.0.1:5000", "--player", "Bo", "--team", "2", "--bind",
                                     "127.0.0.1", "--discovery-port", "39412", "--join", "127.0.0.1:39411", "--port",
                                     "0"});
        QVERIFY2(joiner.ok, qPrintable(joiner.error));
        QVERIFY(joiner.options.lobby && joiner.options.net);
        const net::LobbyRole& role = *joiner.options.lobby;
        QCOMPARE(role.lobby, (net::LobbyAddress{"127.0.0.1", 5000}));
        QVERIFY(!role.host);
        QCOMPARE(role.joinAddress, std::string("127.0.0.1"));
        QCOMPARE(role.joinPort, uint16_t(39411));
        QCOMPARE(role.playerName, std::string("Bo"));
        QCOMPARE(role.team, 2u);
        QCOMPARE(joiner.options.net->port, uint16_t(0));
        QCOMPARE(joiner.options.net->discoveryPort, uint16_t(39412));
        QCOMPARE(joiner.options.net->bindAddress, std::string("127.0.0.1"));

        const Parsed host = parse({"--name", "Friday", "--lobby", "[::1]:7000"});
        QVERIFY2(host.ok, qPrintable(host.error));
        QVERIFY(host.options.lobby->host);
        QCOMPARE(host.options.lobby->sessionName, std::string("Friday"));
        QVERIFY(!host.options.net);

        // A lobby's settings without the lobby, or a bad address, are refused.
        QVERIFY(!parse({"--player", "Bo"}).ok);
        QVERIFY(!parse({"--lobby", "127.0.0.1"}).ok);
        QVERIFY(!parse({"--lobby", "127.0.0.1:5000", "--join", "127.0.0.1:0"}).ok);
        QVERIFY(!parse({"--lobby", "127.0.0.1:5000", "--team", "300"}).ok);
    }
};

QTEST_GUILESS_MAIN(LaunchOptionsTest)
#include "launch_options_test.moc"
