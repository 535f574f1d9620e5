// Sound events: every game action that makes a sound calls playEvent with
// its event number. The sound system registers the player that makes them
// audible; until then (and in tests) events go nowhere or to a recorder.
#pragma once

namespace pavalo {

enum SoundEvent : int {
    kSoundLockPiece = 0,
    kSoundFinishedShort = 1,
    kSoundArrange = 2,
    kSoundCenter = 4,
    kSoundPuzzleFinished = 5,
    kSoundFinishedLong = 6,
    kSoundPuzzleCut = 7,
    kSoundExit = 9,
    kSoundNewGame = 11,
    kSoundStartup = 12,
    kSoundDropPiece = 13,
    kSoundJoinPieces = 14,
    kSoundPickupPiece = 15,
    kSoundRotatePiece = 16,
    kSoundSelectPieces = 17,
    kSoundSolvePieces = 18,
    kSoundCloseWindow = 19,
    kSoundOpenWindow = 20,
    kSoundZoomIn = 21,
    kSoundZoomOut = 22,
    kSoundMessage = 24,
};
inline constexpr int kSoundEventCount = 25;

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // repeats: 1 plays once, n plays n times, -1 loops until stopped.
    virtual void playEvent(int event, int repeats) = 0;
    virtual void stopEvent(int event) = 0;
};

// The registered player, or none (null). Not owned.
void setSoundPlayer(SoundPlayer* player);
SoundPlayer* soundPlayer();

inline void playEvent(int event, int repeats = 1) {
    if (SoundPlayer* p = soundPlayer()) p->playEvent(event, repeats);
}
inline void stopEvent(int event) {
    if (SoundPlayer* p = soundPlayer()) p->stopEvent(event);
}

}  // namespace pavalo
