// Composition of the state-dependent menus.
#include "puzzle/assist_menu.h"

#include <algorithm>

namespace pavalo {
namespace {

namespace mc = menu_command;

MenuItem item(uint32_t id, std::string text) {
    MenuItem m;
    m.id = id;
    m.text = std::move(text);
    for (const DesktopShortcut& s : kDesktopShortcuts)
        if (s.id == id) m.shortcut = s.keys;
    return m;
}

MenuItem popup(std::string text, std::vector<MenuItem> items) {
    MenuItem m;
    m.text = std::move(text);
    m.items = std::move(items);
    return m;
}

void removeId(std::vector<MenuItem>& menu, uint32_t id) {
    std::erase_if(menu, [&](const MenuItem& m) { return !m.isPopup() && m.id == id; });
    for (MenuItem& m : menu)
        if (m.isPopup()) removeId(m.items, id);
}

MenuItem* findMutable(std::vector<MenuItem>& menu, uint32_t id) {
    for (MenuItem& m : menu) {
        if (!m.isPopup() && m.id == id) return &m;
        if (m.isPopup())
            if (MenuItem* inner = findMutable(m.items, id)) return inner;
    }
    return nullptr;
}

}  // namespace

const MenuItem* findMenuItem(const std::vector<MenuItem>& menu, uint32_t id) {
    for (const MenuItem& m : menu) {
        if (!m.isPopup() && m.id == id) return &m;
        if (m.isPopup())
            if (const MenuItem* inner = findMenuItem(m.items, id)) return inner;
    }
    return nullptr;
}

std::vector<MenuItem> composeViewMenu(const ViewMenuState& s) {
    std::vector<MenuItem> menu = {
        item(mc::kMinimize, "Minimize"),
        item(mc::kToolBar, "ToolBar (T)"),
        popup("Zoom", {item(mc::kZoom1, "x1"), item(mc::kZoom2, "x2"), item(mc::kZoom4, "x4"),
                       item(mc::kZoom8, "x8")}),
        item(mc::kSelectAll, "Select All"),
        item(mc::kArrange, "Arrange"),
        item(mc::kPieceInfo, "Piece Info"),
        popup("Find Pieces", {item(mc::kFindEdges, "Edges"), item(mc::kNearThisOne, "Near this one"),
                              item(mc::kWithThisColor, "With This Color")}),
        item(mc::kSolveThisPiece, "Solve This Piece"),
        item(mc::kSolveSelected, "Solve Selected Pieces"),
        popup("&Help", {item(mc::kHelpTopics, "Help Topics")}),
        item(mc::kViewExit, "E&xit"),
    };
    static constexpr uint32_t kZoomIds[4] = {mc::kZoom1, mc::kZoom2, mc::kZoom4, mc::kZoom8};
    if (!s.hit.inSortingBox()) {
        namespace vc = view_command;
        for (MenuItem& m : menu)
            if (m.isPopup() && m.text == "Zoom")
                m.items.insert(m.items.begin(), {item(vc::kZoomFit, "Fit"), item(vc::kZoomEighth, "x1/8"),
                                                 item(vc::kZoomQuarter, "x1/4"), item(vc::kZoomHalf, "x1/2")});
    }
    if (s.reduce > 1 && !s.hit.inSortingBox()) {
        const uint32_t id = s.fitted            ? view_command::kZoomFit
                            : s.reduce == 2     ? view_command::kZoomHalf
                            : s.reduce == 4     ? view_command::kZoomQuarter
                            : s.reduce == 8     ? view_command::kZoomEighth
                                                : view_command::kZoomFit;
        findMutable(menu, id)->checked = true;
    } else if (s.zoom >= 0 && s.zoom < 4) {
        findMutable(menu, kZoomIds[s.zoom])->checked = true;
    }

    removeId(menu, mc::kPieceInfo);
    removeId(menu, mc::kSolveSelected);
    if (!s.hit.hasPiece()) {
        removeId(menu, mc::kNearThisOne);
        removeId(menu, mc::kWithThisColor);
        if (s.hit.inPlayArea() && !s.hit.inSortingBox() && s.solveSpaceAvailable)
            findMutable(menu, mc::kSolveThisPiece)->text = "Solve This Space";
        else
            removeId(menu, mc::kSolveThisPiece);
    }
    if (!s.puzzleLoaded) {
        removeId(menu, mc::kSolveThisPiece);
        removeId(menu, mc::kSelectAll);
        removeId(menu, mc::kArrange);
    }
    if (s.finished) {
        removeId(menu, mc::kSelectAll);
        removeId(menu, mc::kArrange);
    }
    if (s.networkGame) {
        if (!s.allowed.arrange && !s.hit.inSortingBox()) removeId(menu, mc::kArrange);
        if (!s.allowed.solve) removeId(menu, mc::kSolveThisPiece);
        if (!s.allowed.findEdges) removeId(menu, mc::kFindEdges);
        if (!s.allowed.findNearby) removeId(menu, mc::kNearThisOne);
        if (!s.allowed.findByColour) removeId(menu, mc::kWithThisColor);
        menu.push_back(item(mc::kCheckCompletion, "Check Puzzle Completion"));
    }
    // A popup with nothing left in it is not shown (in a network game that
    // allows no find at all, "Find Pieces" goes as a whole).
    std::erase_if(menu, [](const MenuItem& m) { return m.isPopup() && m.items.empty(); });
    return menu;
}

std::vector<MenuItem> composeFindToolMenu(const AssistAllowances& allowed) {
    std::vector<MenuItem> menu;
    if (allowed.findNearby) menu.push_back(item(mc::kNearThisOne, "Near this one"));
    if (allowed.findByColour) menu.push_back(item(mc::kWithThisColor, "With This Color"));
    return menu;
}

std::vector<MenuItem> composePaletteMenu(const PaletteMenuState& s) {
    std::vector<MenuItem> items = {
        item(mc::kNew, "&New"),
        item(mc::kOpen, "&Open..."),
        item(mc::kSave, "&Save"),
        item(mc::kSaveAs, "Save &As..."),
        item(mc::kRecentFile, "Recent File"),
        item(mc::kCenter, "Center"),
        item(mc::kRecut, "Recut Puzzle"),
        item(mc::kWallpaper, "Save Puzzle as Wallpaper"),
        item(mc::kRotatedPieces, "Rotated Pieces"),
        item(mc::kSoundOptions, "Sound Options"),
        item(mc::kCdMusicOptions, "CD Music Options"),
        item(mc::kMidiMusicOptions, "Midi Music Options"),
        item(mc::kVideoOptions, "Video Options"),
        item(mc::kFullScreen, "&Full Screen"),
        popup("&Help", {item(mc::kHelpTopics, "Help Topics"), item(mc::kAbout, "&About Pavalo...")}),
        item(mc::kExit, "E&xit"),
    };
    auto recent = std::find_if(items.begin(), items.end(),
                               [](const MenuItem& m) { return m.id == mc::kRecentFile; });
    if (!s.networkGame && !s.recentFiles.empty()) {
        std::vector<MenuItem> files;
        for (size_t i = 0; i < s.recentFiles.size() && i < 8; ++i) {
            MenuItem f = item(mc::kFirstRecentFile + uint32_t(i), s.recentFiles[i]);
            f.statusPrompt = "Open this document";
            files.push_back(std::move(f));
        }
        recent = items.erase(recent);
        items.insert(recent, files.begin(), files.end());
    } else {
        recent->enabled = false;
    }
    findMutable(items, mc::kRotatedPieces)->checked = s.rotatedPieces;
    findMutable(items, mc::kFullScreen)->checked = s.fullScreen;
    if (s.networkGame) {
        for (uint32_t id : {mc::kNew, mc::kOpen, mc::kSave, mc::kSaveAs, mc::kRotatedPieces})
            findMutable(items, id)->enabled = false;
        removeId(items, mc::kRecut);
    }
    return {popup("&Menu", std::move(items))};
}

}  // namespace pavalo
