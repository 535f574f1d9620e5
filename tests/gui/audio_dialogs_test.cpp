// Qt Test cases, offscreen, for the audio windows: the sound options dialog's
// boxes and buttons reach its model, the MIDI dialog's combo box and buttons
// drive the music, the CD dialog shows the drive's times and follows its
// timer, and the audio session registers the effect player, starts the
// music, takes device notices from another thread on the interface thread,
// and cleans up at exit.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <thread>

#include "app/audio_session.h"
#include "app/music_dialogs.h"
#include "media/profile.h"
#include "app/sound_options_dialog.h"
#include "media/audio_output.h"
#include "platform/scripted_platform.h"
#include "tests/unit/music_fakes.h"

using namespace pavalo;
using namespace pavalo::audio_fakes;

class AudioDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("SDL_AUDIODRIVER", "dummy"); }

    void soundOptionsBindBoxesAndModes() {
        SoundOptionsModel::Switches stored;
        stored.fill(1);
        stored[kSoundZoomIn] = 0;
        SoundOptionsDialog dialog(nullptr, SoundOptionsModel(stored, kSoundModeUseSwitches));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Enable/Disable Sounds"));
        QCOMPARE(dialog.findChildren<QCheckBox*>().size(), 20);
        size_t zoomIn = 0;
        for (size_t b = 0; b < kSoundSwitchBoxes.size(); ++b)
            if (dialog.box(b)->text() == "Zoom In") zoomIn = b;
        QVERIFY(!dialog.box(zoomIn)->isChecked());
        QVERIFY(dialog.modeButton(kSoundModeUseSwitches)->isChecked());
        QCOMPARE(dialog.modeButton(kSoundModeDisableAll)->text(), QStringLiteral("Disable All"));

        dialog.box(zoomIn)->click();
        dialog.modeButton(kSoundModeEnableAll)->click();
        QVERIFY(dialog.model().checked(zoomIn));
        QCOMPARE(dialog.model().mode(), kSoundModeEnableAll);

        QCOMPARE(dialog.volume()->value(), 100);
        dialog.volume()->setValue(30);
        QCOMPARE(dialog.model().effectsVolume(), 30);
        SoundOptionsModel quiet(stored, kSoundModeUseSwitches);
        quiet.setEffectsVolume(15);
        SoundOptionsDialog reopened(nullptr, quiet);
        QCOMPARE(reopened.volume()->value(), 15);
    }

    void midiDialogDrivesTheMusic() {
        MusicRig r;
        MidiOptionsModel model(r.player, r.fe, (r.dir / "tavorn.ini").string());
        MidiOptionsDialog dialog(nullptr, model);
        QCOMPARE(dialog.songs()->count(), 21);
        QCOMPARE(dialog.songs()->currentIndex(), 1);
        emit dialog.songs()->activated(5);
        QCOMPARE(r.settings.currentSong, 5);
        QCOMPARE(QString::fromStdString(r.playingFile()), QStringLiteral("tavtmp54.mid"));

        dialog.button("&Stop MIDI Music")->click();
        QVERIFY(!r.settings.musicOn);
        dialog.button("&Play MIDI Music")->click();
        QVERIFY(r.settings.musicOn);

        r.fe.picks.push_back(std::vector<std::string>{r.userFile("b.mid"), r.userFile("a.mid")});
        dialog.button("&New Play List")->click();
        QCOMPARE(dialog.songs()->count(), 3);
        QCOMPARE(dialog.songs()->itemText(1), QStringLiteral("a.mid"));
        QCOMPARE(dialog.songs()->currentIndex(), 1);

        // A song skipped because its file vanished moves the combo box too.
        std::filesystem::remove(r.playList[0]);
        emit dialog.songs()->activated(2);
        emit dialog.songs()->activated(1);
        QCOMPARE(dialog.songs()->currentIndex(), 2);
        QVERIFY(r.fe.refreshes > 0);

        dialog.button("&Default Play List")->click();
        QCOMPARE(dialog.songs()->count(), 21);

        // The volume slider is kept when a key moves it; the next dialog opens there.
        QCOMPARE(dialog.volume()->value(), 100);
        dialog.volume()->setFocus();
        QTest::keyClick(dialog.volume(), Qt::Key_PageDown);
        QCOMPARE(readProfileVolume((r.dir / "tavorn.ini").string(), kMusicVolumeKey), 90);
        MidiOptionsDialog again(nullptr, model);
        QCOMPARE(again.volume()->value(), 90);
    }

    void cdDialogShowsTimesAndFollowsItsTimer() {
        FrontEnd fe;
        FakeDrive drive;
        CdPlayer cd(drive, fe);
        CdOptionsModel model(cd, fe);
        CdOptionsDialog dialog(nullptr, model);
        QVERIFY(dialog.prepare());
        QCOMPARE(dialog.totalTime()->text(), QStringLiteral("07 : 26"));
        QCOMPARE(dialog.currentTrack()->text(), QStringLiteral("1"));
        dialog.button("&Next")->click();
        QCOMPARE(dialog.currentTrack()->text(), QStringLiteral("2"));
        dialog.button("&Play")->click();
        drive.at += 75 * 3;
        QTRY_COMPARE_WITH_TIMEOUT(dialog.currentTime()->text(), QStringLiteral("00 : 03"), 2500);

        FakeDrive none;
        none.openResult = CdDrive::OpenResult::Failed;
        CdPlayer noCd(none, fe);
        CdOptionsModel noModel(noCd, fe);
        CdOptionsDialog noDialog(nullptr, noModel);
        QVERIFY(!noDialog.prepare());
        QCOMPARE(QString::fromStdString(fe.messages.back().caption), QStringLiteral("CD Interface Warning"));
    }

    void sessionRegistersPlaysAndCleansUp() {
        Preferences prefs;
        MusicSettings music;
        music.currentSong = 3;
        ScriptedPlatform platform;
        auto device = std::make_unique<FakeDevice>();
        FakeDevice* d = device.get();
        std::string folder;
        {
            AudioSession session(prefs, music, platform, nullptr, std::move(device), std::make_unique<FakeDrive>());
            session.start();
            QVERIFY(platform.messages.empty());
            QCOMPARE(soundPlayer(), static_cast<SoundPlayer*>(&session.effects()));
            QVERIFY(session.effects().initialised());
            QCOMPARE(QString::fromStdString(std::filesystem::path(d->openedPath).filename().string()),
                     QStringLiteral("tavtmp52.mid"));
            folder = std::filesystem::path(d->openedPath).parent_path().string();

            // The device reports the end from its own thread; the next song
            // starts on this one.
            std::thread([d] { d->finishFromAnotherThread(); }).join();
            QCOMPARE(music.currentSong, 3);
            QTRY_COMPARE(music.currentSong, 4);
            QCOMPARE(QString::fromStdString(std::filesystem::path(d->openedPath).filename().string()),
                     QStringLiteral("tavtmp53.mid"));

            // Switch 25 with "Use Selections".
            prefs.record.soundMode = kSoundModeUseSwitches;
            prefs.record.soundSwitches[kOtherPlayersSwitch] = 0;
            QVERIFY(!session.otherPlayersAudible());
        }
        QCOMPARE(soundPlayer(), static_cast<SoundPlayer*>(nullptr));
        QVERIFY(!std::filesystem::exists(folder));
        QVERIFY(!audio::outputOpen());
    }
};

QTEST_MAIN(AudioDialogsTest)
#include "audio_dialogs_test.moc"
