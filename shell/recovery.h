// The recovery file: a puzzle with unsaved changes, kept in the data folder
// when the program is ended from outside (a signal, the desktop's logout),
// and offered at the next start. Where the file lives, when it is written,
// the offer and the file's removal are here; the front end only calls
// keepPuzzle() when it is told to end and offerKeptPuzzle() when it starts.
#pragma once

#include <cstdint>
#include <future>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "shell/document.h"

namespace pavalo {

inline constexpr std::string_view kRecoveryFileName = "recovery.gvp";
// Beside it: the name of the file the puzzle was last saved to (empty for
// a puzzle that was never saved).
inline constexpr std::string_view kRecoveryNameFileName = "recovery.name";
inline constexpr const char* kRecoveryQuestion = "Continue the puzzle that was open when Pavalo was closed?";

std::string recoveryPath(std::string_view dataFolder);
std::string recoveryNamePath(std::string_view dataFolder);

// Whether a kept puzzle waits in the folder.
bool keptPuzzleWaiting(std::string_view dataFolder);

// Whether closing would lose something of the document's puzzle: it has
// changes that are not saved, or it was never saved.
bool puzzleWorthKeeping(const Document& document);

// Writes a kept puzzle's bytes and the name of its file (empty: never
// saved), each through a temporary name.
bool writeKeptPuzzle(std::string_view dataFolder, std::span<const uint8_t> puzzle, const std::string& name,
                     std::string& error);

// Keeps the document's puzzle when closing would lose something: it has
// changes that are not saved, or it was never saved. The document itself is
// left as it is (its file name, its change mark). True when a puzzle was
// kept; false when there was nothing to keep or the file could not be
// written (`error` says why).
bool keepPuzzle(const Document& document, std::string_view dataFolder, std::string& error);

// Removes a kept puzzle and its name file.
void discardKeptPuzzle(std::string_view dataFolder);

// Writes kept puzzles away from the user-interface thread, so that keeping
// the puzzle every minute makes no pause: the caller makes the bytes (the
// model is its own), a worker writes them. One write at a time: a new
// write, a discard and the destructor wait for the one in flight, so a
// discard is never overtaken by an older write.
class RecoveryWriter {
public:
    explicit RecoveryWriter(std::string dataFolder) : folder_(std::move(dataFolder)) {}
    ~RecoveryWriter() { wait(); }
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    void write(std::vector<uint8_t> puzzle, std::string name);
    // Waits for the write in flight; false with its error when the last
    // write failed (the error is reported once).
    bool finish(std::string& error);
    void discard();

private:
    void wait();

    std::string folder_;
    std::future<std::string> pending_;  // the write's error, empty when written
    std::string failed_;                // the last finished write's error
};

// Asks whether to continue a kept puzzle. Yes opens it under the name it
// had, with its changes marked unsaved; No discards it. A kept file that
// cannot be read is reported by the document and discarded. True when the
// kept puzzle is now the document's.
bool offerKeptPuzzle(Document& document, Platform& platform, std::string_view dataFolder);

}  // namespace pavalo
