// Keeping the open puzzle when the program is ended from outside.
#include "shell/recovery.h"

#include <filesystem>

#include "common/file_io.h"
#include "shell/data_folder.h"

namespace pavalo {

std::string recoveryPath(std::string_view dataFolder) { return joinPath(dataFolder, kRecoveryFileName); }
std::string recoveryNamePath(std::string_view dataFolder) { return joinPath(dataFolder, kRecoveryNameFileName); }

bool keptPuzzleWaiting(std::string_view dataFolder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(recoveryPath(dataFolder), ec);
}

bool puzzleWorthKeeping(const Document& document) {
    return document.hasPuzzle() && (document.modified() || document.path().empty());
}

bool keepPuzzle(const Document& document, std::string_view dataFolder, std::string& error) {
    if (!puzzleWorthKeeping(document)) return false;
    return writeKeptPuzzle(dataFolder, document.savedBytes(), document.path(), error);
}

bool writeKeptPuzzle(std::string_view dataFolder, std::span<const uint8_t> puzzle, const std::string& name,
                     std::string& error) {
    if (!writeFileAtomically(recoveryPath(dataFolder), puzzle, error)) return false;
    std::string nameError;
    const std::vector<uint8_t> bytes(name.begin(), name.end());
    if (!writeFileAtomically(recoveryNamePath(dataFolder), bytes, nameError)) {
        // Without its name the puzzle would come back as another file's; the
        // puzzle itself still comes back, as one never saved.
        std::error_code ec;
        std::filesystem::remove(recoveryNamePath(dataFolder), ec);
    }
    return true;
}

void discardKeptPuzzle(std::string_view dataFolder) {
    std::error_code ec;
    std::filesystem::remove(recoveryPath(dataFolder), ec);
    std::filesystem::remove(recoveryNamePath(dataFolder), ec);
}

void RecoveryWriter::wait() {
    if (!pending_.valid()) return;
    std::string error = pending_.get();
    if (!error.empty()) failed_ = std::move(error);
}

void RecoveryWriter::write(std::vector<uint8_t> puzzle, std::string name) {
    wait();
    pending_ = std::async(std::launch::async, [folder = folder_, puzzle = std::move(puzzle), name = std::move(name)] {
        std::string error;
        if (!writeKeptPuzzle(folder, puzzle, name, error) && error.empty()) error = "the puzzle was not written";
        return error;
    });
}

bool RecoveryWriter::finish(std::string& error) {
    wait();
    error = std::move(failed_);
    failed_.clear();
    return error.empty();
}

void RecoveryWriter::discard() {
    wait();
    failed_.clear();
    discardKeptPuzzle(folder_);
}

bool offerKeptPuzzle(Document& document, Platform& platform, std::string_view dataFolder) {
    if (!keptPuzzleWaiting(dataFolder)) return false;
    if (platform.messageBox(kRecoveryQuestion, {}, MessageButtons::YesNo) != MessageResult::Yes) {
        discardKeptPuzzle(dataFolder);
        return false;
    }
    std::string name;
    std::vector<uint8_t> bytes;
    std::string error;
    if (readWholeFile(recoveryNamePath(dataFolder), bytes, error, 4096)) name.assign(bytes.begin(), bytes.end());
    const bool opened = document.openKept(recoveryPath(dataFolder), name);
    discardKeptPuzzle(dataFolder);
    return opened;
}

}  // namespace pavalo
