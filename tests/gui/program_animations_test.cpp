// The program's own animations in their windows: the about box advancing
// with its clock, the start dialog's buttons playing while hovered or
// focused and resting otherwise, and the start-up splash drawn by the
// compositor in its start-up state. With PAVALO_SCREENSHOT_DIR set, it also
// saves pictures of the about box, the start dialog, the splash and the
// picture chooser holding a dozen thumbnails, for a person to look at.
#include <QDir>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app/about_dialog.h"
#include "app/select_image_dialog.h"
#include "app/start_dialog.h"
#include "app/startup_splash.h"
#include "app/surface_image.h"
#include "surface/display_modes.h"
#include "media/bmp.h"
#include "platform/scripted_platform.h"
#include "media/wda_encoder.h"

using namespace pavalo;

namespace {

QString shotDir() { return qEnvironmentVariable("PAVALO_SCREENSHOT_DIR"); }

void saveShot(QWidget& w, const QString& name) {
    if (shotDir().isEmpty()) return;
    QDir().mkpath(shotDir());
    QVERIFY(w.grab().save(shotDir() + "/" + name));
}

struct NoDialogs : SelectImageFrontEnd {
    std::vector<std::string> pictures;
    std::optional<NewLibraryAnswer> askCreateLibrary() override { return NewLibraryAnswer{"Holidays", ""}; }
    std::optional<size_t> askRemoveLibrary(const std::vector<std::string>&) override { return std::nullopt; }
    bool askPassword(PasswordPrompt&) override { return false; }
    std::vector<std::string> pickPictures(std::string_view, std::string_view, std::string_view, bool) override {
        return std::exchange(pictures, {});
    }
};

}  // namespace

class ProgramAnimationsTest : public QObject {
    Q_OBJECT

private slots:
    void aboutBoxAdvancesWithItsClock() {
        AboutDialog box(nullptr);
        QVERIFY(box.animated());
        QCOMPARE(box.size(), QSize(328, 392));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const uint32_t start = box.animation().startTime();
        QVERIFY(int32_t(start - box.now()) <= 667);
        box.tickAt(start + 67 * 100);
        QCOMPARE(box.animation().lastDrawn(), 100);
        // What the window shows is the animation's surface.
        const QImage shown = box.grab().toImage();
        const QImage surface = surfaceImage(box.animation().surface()).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(84, 64), surface.pixel(84, 64));
        saveShot(box, "about-frame100.png");
        box.tickAt(start + 67 * 230);
        saveShot(box, "about-frame230.png");
        QCOMPARE(AboutAnimation::animationFrame(box.animation().lastDrawn()), 230);
    }

    void startButtonsPlayWhileFocused() {
        QWidget parent;
        parent.resize(1024, 700);
        StartDialog d(&parent, false);
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QPushButton* open = d.button(StartChoice::OpenPuzzle);
        open->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(d.buttonFrame(StartChoice::OpenPuzzle) >= 3, 3000);
        QCOMPARE(d.buttonFrame(StartChoice::Exit), 0);
        // The disabled Continue button never plays.
        QCOMPARE(d.buttonFrame(StartChoice::Continue), 0);
        saveShot(d, "start-dialog.png");
        d.button(StartChoice::Exit)->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(d.buttonFrame(StartChoice::OpenPuzzle), 0, 3000);
    }

    void splashDrawsIntoTheStartupState() {
        QTemporaryDir dir;
        // A 3-frame splash: black, then a white square, then a grey one.
        std::vector<uint8_t> palette(768, 0);
        for (int i = 0; i < 256; ++i)
            palette[size_t(3 * i)] = palette[size_t(3 * i + 1)] = palette[size_t(3 * i + 2)] = uint8_t(i);
        WdaEncoder enc(40, 20, palette);
        std::vector<uint8_t> a(800, 0), b = a, c = a;
        for (int y = 5; y < 15; ++y)
            for (int x = 10; x < 20; ++x) b[size_t(y * 40 + x)] = 255, c[size_t(y * 40 + x)] = 128;
        enc.addFrame(a);
        enc.addFrame(b, std::vector<std::span<const uint8_t>>{a});
        enc.addFrame(c, std::vector<std::span<const uint8_t>>{b});
        std::string error;
        const std::string path = dir.filePath("splash.wda").toStdString();
        QVERIFY(writeWdaFile(path, enc.finish(), error));

        setDisplayModes(defaultDisplayModes(800, 600));
        DisplaySurface display;
        QVERIFY(display.createDisplay(nullptr, 800, 600, 24, false, true));
        Compositor compositor(display);
        StartupSplash splash(compositor, nullptr);
        QVERIFY(splash.load(path));
        QVERIFY(!splash.load(dir.filePath("missing.wda").toStdString()));
        QVERIFY(splash.load(path));
        compositor.state().displayState = DisplayState::StartupAnimation;
        compositor.state().rebuildBuffers = true;
        ViewRequest request;
        request.clipBox = {0, 0, 800, 600};
        Presentation p = compositor.updateView(request);
        QVERIFY(p.present);
        QCOMPARE(p.source, (Rect{0, 0, 800, 600}));  // a new back buffer is shown whole
        DrawSurface& back = compositor.backBuffer();
        // Centred: the splash's square of frame 1 lies at (380 + 10, 290 + 5).
        splash.setDueFrame(1);
        p = compositor.updateView(request);
        QCOMPARE(p.source, (Rect{380, 290, 420, 310}));
        const auto pixel = [&](int x, int y) {
            return back.depth() == 8 ? uint32_t(back.row(y)[x]) : uint32_t(back.row(y)[x * back.depth() / 8]);
        };
        QCOMPARE(pixel(395, 300), 255u);
        splash.setDueFrame(2);
        compositor.updateView(request);
        QCOMPARE(pixel(395, 300), 128u);
        QCOMPARE(pixel(385, 292), 0u);
        setDisplayModes(defaultDisplayModes(1920, 1080));
    }

    void screenshotOfTheChooser() {
        if (shotDir().isEmpty()) QSKIP("screenshots only with PAVALO_SCREENSHOT_DIR");
        QTemporaryDir dir;
        ScriptedPlatform platform;
        Registry registry(dir.filePath("registry.ini").toStdString());
        NoDialogs dialogs;
        const QString samples = PAVALO_SAMPLE_DIR;
        for (const char* name : {"sunset-harbour.jpg", "balloons.bmp", "stained-glass.bmp"})
            dialogs.pictures.push_back((samples + "/" + name).toStdString());
        // More pictures of several shapes, drawn here.
        for (int i = 0; i < 11; ++i) {
            DrawSurface s;
            const int w = 120 + 40 * (i % 4), h = 160 - 25 * (i % 3);
            s.create(w, h, 24);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    uint8_t* p = s.row(y) + 3 * x;
                    p[0] = uint8_t(40 + 20 * i + y), p[1] = uint8_t(90 + x / 2), p[2] = uint8_t(200 - 15 * i);
                }
            const std::string path = dir.filePath(QString("drawn-%1.bmp").arg(i)).toStdString();
            saveBmp(s, path);
            dialogs.pictures.push_back(path);
        }
        SelectImageDialog chooser(nullptr, platform, registry, dir.path().toStdString(), dir.path().toStdString(), 24,
                                  &dialogs);
        chooser.start({});
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QTest::mouseClick(chooser.button("Create Library"), Qt::LeftButton);
        QTest::mouseClick(chooser.button("Add Image"), Qt::LeftButton);
        QCOMPARE(chooser.model().imageCount(), 14);
        chooser.scrollBar()->setValue(0);
        QTest::mouseClick(chooser.thumbnails(), Qt::LeftButton, {}, QPoint(150, 50));
        saveShot(chooser, "library-dialog.png");
    }
};

QTEST_MAIN(ProgramAnimationsTest)
#include "program_animations_test.moc"
