// Files dragged onto the game from a file manager: which of them the game
// takes and what it does with it.
#pragma once

#include <string>
#include <vector>

namespace pavalo {

enum class DroppedFileKind { None, SavedPuzzle, Picture };

struct DroppedFile {
    DroppedFileKind kind = DroppedFileKind::None;
    std::string path;
};

// The first of the dropped files (in the order given) that is a regular file
// and either a saved puzzle (its name ends in ".gvp", any case), which is
// opened, or a picture of a kind new puzzles are made from (a name the
// document knows: BMP, JPEG, PNG, WebP, WDA, movies), which starts a new
// puzzle. Kind None when there is no such file.
DroppedFile chooseDroppedFile(const std::vector<std::string>& paths);

}  // namespace pavalo
