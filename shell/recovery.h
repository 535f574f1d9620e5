// The recovery file: a puzzle with unsaved changes, kept in the data folder
// when the program is ended from outside (a signal, the desktop's logout),
// and offered at the next start. Where the file lives, when it is written,
// the offer and the file's removal are here; the front end only calls
// keepPuzzle() when it is told to end and offerKeptPuzzle() when it starts.
#pragma once

#include <string>
#include <string_view>

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

// Keeps the document's puzzle when closing would lose something: it has
// changes that are not saved, or it was never saved. The document itself is
// left as it is (its file name, its change mark). True when a puzzle was
// kept; false when there was nothing to keep or the file could not be
// written (`error` says why).
bool keepPuzzle(const Document& document, std::string_view dataFolder, std::string& error);

// Removes a kept puzzle and its name file.
void discardKeptPuzzle(std::string_view dataFolder);

// Asks whether to continue a kept puzzle. Yes opens it under the name it
// had, with its changes marked unsaved; No discards it. A kept file that
// cannot be read is reported by the document and discarded. True when the
// kept puzzle is now the document's.
bool offerKeptPuzzle(Document& document, Platform& platform, std::string_view dataFolder);

}  // namespace pavalo
