// Compositor: the view's update pass without a window system. It keeps the
// back buffer (play-area coordinates, the display's pixel format), recomposes
// the invalid part of the view into it (background, puzzle frame, puzzle
// outline, pieces or the assembled picture, selection rectangle), and says
// which part of the back buffer the front end must show where, magnified by
// 1 << zoomShift. The front end only scales that rectangle onto the screen
// (at 8 bits through the back buffer's presentation table).
//
// Coordinates: window pixels map to play-area pixels as
// play = scroll + (window >> zoomShift). A clip box is first widened to
// multiples of 1 << zoomShift so that the conversion is exact.
//
// Ownership: the compositor owns the back buffer and the cached tile picture;
// the display, the model, the picture and the settings record belong to the
// application and must outlive the calls that use them. User-interface thread
// only; the model is read under PIECEMutex, taken before any surface lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "surface/display_surface.h"
#include "surface/draw_surface.h"
#include "display/piece_renderer.h"
#include "display/reduced_pieces.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"

namespace pavalo {

// One update: what the view asks to be recomposed.
struct ViewRequest {
    Rect clipBox;           // invalid part of the view window, window coordinates
    int32_t zoomShift = 0;  // 0..3: magnification 1 << zoomShift
    int32_t scrollX = 0;    // play-area point shown at the window's top-left
    int32_t scrollY = 0;
    // Zoomed out (zoomShift 0): above 1, window pixel w shows the play-area
    // point reduceOrigin + w * reduce, and the pieces are drawn from reduced
    // copies straight into window pixels of the back buffer.
    int32_t reduce = 1;
    Point reduceOrigin;
    // The selection rectangle being dragged, play-area coordinates, right and
    // bottom exclusive (corners in any order).
    std::optional<Rect> selection;
    bool minimised = false;  // the main window is minimised: nothing is done
};

// What the front end shows after an update: `source` of the back buffer
// scaled onto `dest` of the view window (at 8 bits in the colours of the back
// buffer's presentationTable(), which holds the display's palette).
struct Presentation {
    bool present = false;  // false: show nothing new
    Rect source;           // part of the back buffer
    Rect dest;             // where in the view window: source magnified by 1 << zoomShift
    int32_t zoomShift = 0;
};

// The things the composition draws from, all optional.
struct CompositorScene {
    PuzzleModel* model = nullptr;    // the pieces and the puzzle geometry
    DrawSurface* picture = nullptr;  // the puzzle's picture (none: solid pieces, no frame)
    const SettingsRecord* settings = nullptr;  // the picture kind (movies finish differently)
};

// Widens a window rectangle to multiples of 1 << zoomShift: left and top
// rounded down, right and bottom up.
Rect widenClipBox(const Rect& clip, int32_t zoomShift);
// A widened window rectangle in play-area coordinates, and back.
Rect windowToPlay(const Rect& window, int32_t scrollX, int32_t scrollY, int32_t zoomShift);
Rect playToWindow(const Rect& play, int32_t scrollX, int32_t scrollY, int32_t zoomShift);
// The tile picture's path in the data folder: folder + "/" if needed + "gfx/tile.bmp".
std::string tilePicturePath(const std::string& dataFolder);

class Compositor {
public:
    // Loads a picture file into a surface; false when it cannot. The front
    // end passes the BMP loader of media/.
    using PictureLoader = std::function<bool(DrawSurface& surface, const std::string& path)>;
    // Draws the start-up animation's current frame into the back buffer and
    // gives its area (back-buffer coordinates) to show; nullopt: nothing.
    using StartupFrame =
        std::function<std::optional<Rect>(DrawSurface& backBuffer, DisplaySurface& display)>;

    explicit Compositor(DisplaySurface& display);

    // Colours, flags, view mode and display state.
    PieceRenderer renderer;
    RendererState& state() { return renderer.state; }
    const RendererState& state() const { return renderer.state; }

    DrawSurface& backBuffer() { return backBuffer_; }
    const DrawSurface& backBuffer() const { return backBuffer_; }
    DisplaySurface& display() { return display_; }

    // A new scene forgets the reduced copies of the last one.
    void setScene(const CompositorScene& scene) {
        scene_ = scene;
        reduced_.clear();
    }
    // The picture's pixels changed (an animated picture's frame): reduced
    // copies are made again from it when next used.
    void pictureChanged() { ++pictureVersion_; }
    // The reduced copies for a factor (2 or more), made at the first use and
    // kept while all kept copies together hold at most a third of the
    // picture's memory (the least recently used go first; the one in use is
    // always kept). Null without a model.
    const ReducedPuzzle* reduced(int32_t factor);
    const CompositorScene& scene() const { return scene_; }
    // The data folder holding gfx/tile.bmp; the tile is loaded again after a
    // change of folder or loader and after every rebuild of the buffers.
    void setDataFolder(std::string folder);
    void setTileLoader(PictureLoader loader);
    // Called after the display was reacquired (full screen re-entered): the
    // document refreshes its state and a stopped movie starts again.
    void setAfterReacquire(std::function<void()> hook) { afterReacquire_ = std::move(hook); }
    // The start-up animation's frame drawing (display state 1).
    void setStartupFrame(StartupFrame hook) { startupFrame_ = std::move(hook); }

    // The update pass. In order: reacquire the display when asked; return at
    // once while another update runs, the window is minimised or the display
    // has no pixels; rebuild the buffers when asked; then by state: frozen
    // shows the whole back buffer as it is; playing recomposes the clip box;
    // the tile state covers the back buffer with the tile picture; the
    // start-up state draws the animation frame through its hook.
    Presentation updateView(const ViewRequest& request);

private:
    void rebuildBuffers();
    void composePlaying(const ViewRequest& request, Presentation& out);
    void composeReduced(const ViewRequest& request, Presentation& out);
    void composeFinishedMovie(const Rect& clip, Presentation& out);
    void composeTile(Presentation& out);
    Presentation wholeBackBuffer() const;

    DisplaySurface& display_;
    DrawSurface backBuffer_;
    CompositorScene scene_;
    std::string dataFolder_;
    PictureLoader tileLoader_;
    // The loaded tile; null until loaded or after a failed load.
    std::unique_ptr<DrawSurface> tile_;
    bool tileTried_ = false;
    std::function<void()> afterReacquire_;
    StartupFrame startupFrame_;
    struct ReducedEntry {
        std::unique_ptr<ReducedPuzzle> copies;
        uint64_t pictureVersion = 0;
        uint64_t lastUse = 0;
    };
    std::vector<ReducedEntry> reduced_;
    uint64_t pictureVersion_ = 0;
    uint64_t useCount_ = 0;
};

}  // namespace pavalo
