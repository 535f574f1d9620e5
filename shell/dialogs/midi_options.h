// The "MIDI Options..." dialog's rules without a window: the song list
// shown in its combo box, and what each button does to the music, the play
// list and the "midiDir" entry of "tavorn.ini".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "media/music.h"

namespace pavalo {

inline constexpr std::string_view kMidiOptionsTitle = "MIDI Options";
inline constexpr std::string_view kMusicVolumeLabel = "Music volume";
inline constexpr std::string_view kLoadMidiTitle = "Load MIDI File";
inline constexpr std::string_view kMidiFilter = "MIDI files (*.mid) | *.mid ||";
// The file dialog's selection buffer, in characters: a selection needing
// more (the folder, each name and their terminators) is not taken.
inline constexpr size_t kMidiSelectionBuffer = 43000;

// The characters a multiple selection of `paths` fills in the file
// dialog's buffer: the folder and each name, each with its terminator, and
// the closing terminator.
size_t selectionLength(const std::vector<std::string>& paths);

class MidiOptionsModel {
public:
    // profileFile: the "tavorn.ini" to read and write "midiDir" in.
    MidiOptionsModel(MusicPlayer& player, MusicFrontEnd& frontEnd, std::string profileFile);
    ~MidiOptionsModel();

    // The combo box: the 21 built-in titles, or "None" and the user list's
    // file names; and the entry shown.
    std::vector<std::string> entries() const;
    int currentIndex() const;

    // Choosing an entry turns music on and starts it; entry 0 turns it off.
    void choose(int index);
    void playMusic();        // "&Play MIDI Music"
    void stopMusic();        // "&Stop MIDI Music"
    void defaultPlayList();  // "&Default Play List"
    void userPlayList();     // "&User Play List"
    void newPlayList();      // "&New Play List"
    void addToPlayList();    // "&Add to Play List"
    // The music's volume slider, in percent, kept in "tavorn.ini" and
    // heard at once.
    int musicVolume() const;
    void setMusicVolume(int percent);

private:
    void loadFiles(bool append);

    MusicPlayer& player_;
    MusicFrontEnd& frontEnd_;
    std::string profileFile_;
};

}  // namespace pavalo
