// The Application's window calls (from the view controller, the assist
// commands, the document, completion and undo), handed to the frame.
#include "app/application.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/play_view.h"

namespace pavalo {

// ---- DocumentFrontEnd

void Application::closeSortingBoxes() {
    frame_->sideWindows().closeSortingBoxes();
    frame_->refreshPalette();
}
void Application::resetSideWindows() { frame_->resetSideWindows(); }
void Application::forgetRecentFile(const std::string& path) { frame_->forgetRecentFile(path); }
void Application::addRecentFile(const std::string& path) { frame_->addRecentFile(path); }

// ---- ViewWindows and AssistFrontEnd

void Application::toolChanged(int) { frame_->refreshPalette(); }
void Application::toggleSortingBox(int box) { frame_->dispatch(frame_command::kBox1 + uint32_t(box - 1)); }
void Application::toggleOverview() { frame_->dispatch(frame_command::kOverview); }
void Application::togglePreview() { frame_->dispatch(frame_command::kPreview); }
void Application::toggleToolPalette() { frame_->toggleToolPalette(); }
void Application::redrawOverview() { frame_->sideWindows().redrawOverview(); }

void Application::hideSideWindows() {
    frame_->sideWindows().hide();
    frame_->refreshPalette();
}

void Application::restoreSideWindows() {
    frame_->sideWindows().restore();
    frame_->refreshPalette();
}

Rect Application::boxClientRect(int box) const { return frame_->sideWindows().boxClientRect(box); }
int Application::boxZoom(int box) const { return frame_->sideWindows().boxZoom(box); }
void Application::setBoxZoom(int box, int zoom) { frame_->sideWindows().setBoxZoom(box, zoom); }
void Application::boxContentsChanged(int box) { frame_->sideWindows().boxContentsChanged(box); }
bool Application::isBoxOpen(int box) const { return frame_ && frame_->sideWindows().isBoxOpen(box); }

void Application::openBox(int box) {
    frame_->sideWindows().openBox(box);
    frame_->refreshPalette();
}

Rect Application::boxClientArea(int box) const { return frame_->sideWindows().boxClientArea(box); }
// The box's scroll position goes back to where its pieces now lie.
void Application::resetBoxScroll(int box) { frame_->sideWindows().boxContentsChanged(box); }
void Application::setBoxCaption(int box, const std::string& caption) { frame_->sideWindows().setBoxCaption(box, caption); }
void Application::redrawBox(int box) { frame_->sideWindows().redrawBox(box); }
void Application::searchingOpened(const SearchingProgress& p) { frame_->searchingOpened(p); }
void Application::searchingStepped(const SearchingProgress& p) { frame_->searchingStepped(p); }
void Application::searchingClosed() { frame_->searchingClosed(); }

// ---- CompletionActions

void Application::disableAssistTools() { frame_->disableAssistTools(); }

void Application::closePreviewAndOverview() {
    frame_->sideWindows().closePreviewAndOverview();
    frame_->refreshPalette();
}

void Application::refreshStatusAndSortingBoxes() {
    frame_->sideWindows().refreshCaptions();
    frame_->sideWindows().redrawAll();
}

// ---- UndoActions

void Application::restoreWindows(const SettingsRecord&) {
    frame_->sideWindows().restorePlacements();
    frame_->restorePalettePlacement();
    frame_->sideWindows().refreshCaptions();
    frame_->sideWindows().redrawAll();
    refreshAll();
}

void Application::refreshToolPalette() { frame_->refreshPalette(); }

}  // namespace pavalo
