// A game set up from the start in the window.
#include "net/session_setup.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "net/headless_setup.h"

namespace pavalo::net {

SessionSetup::SessionSetup(GameSession& session, NetLayer& layer, NetGameLink& link)
    : TransferSetupGame(layer, link.dispatcher()), session_(session), layer_(layer), link_(link) {}

// The picture is only looked at here; the document loads it for the cut.
bool SessionSetup::loadPicture(const std::string& path, int32_t& width, int32_t& height, std::string& message) {
    return lookAtPicture(path, width, height, message);
}

Point SessionSetup::playArea() const {
    const Document& document = session_.document();
    return {document.playWidth(), document.playHeight()};
}

// The host's play area becomes this window's for the game: the model, the
// display and the buffers take its size, and a smaller window shows part of
// it, scrolling and zooming as usual.
bool SessionSetup::cut(const NetPuzzle& puzzle, const std::string& picture, const NetOptions& options,
                       std::string& message) {
    Document& document = session_.document();
    if (const std::optional<Point> area = puzzle.playArea()) session_.setPlayArea(area->x, area->y);
    NewPuzzleOptions o;
    o.picture = picture;
    o.grid = Grid{puzzle.columns, puzzle.rows};
    o.rotate = puzzle.rotation != 0;
    o.seed = options.seed;
    if (!document.newPuzzle(o)) {
        message.clear();  // the document has said why
        return false;
    }
    SettingsRecord& r = document.record();
    r.pickerValue = puzzle.pickerValue;
    std::memcpy(r.spare0.data(), &puzzle.field0, sizeof puzzle.field0);
    copyOptionsToRecord(options, r);
    link_.dispatcher().setPieceOrder(document.pieceOrder());
    layer_.holders().rebuild(link_.dispatcher().holderModel(), layer_.playerTable(), false);
    session_.puzzleShown();
    return true;
}

void SessionSetup::pump(uint32_t ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        link_.dispatch();
        layer_.resendPass();
        if (wait)
            wait(5);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

}  // namespace pavalo::net
