// The view's update pass: buffers, background, frame, pieces, selection and
// the rectangle to show.
#include "display/compositor.h"

#include <algorithm>
#include <cstring>

#include "common/named_mutex.h"
#include "surface/display_modes.h"

namespace pavalo {
namespace {

int32_t clampZoom(int32_t z) {
    return std::clamp(z, 0, 3);
}

Rect intersect(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// DrawFrame (right and bottom inclusive) limited to `clip`, so that a frame
// drawn for one update never paints over parts of the back buffer that this
// update does not recompose.
void frameInside(DrawSurface& s, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour, const Rect& clip) {
    if (right < left || bottom < top || clip.empty()) return;
    auto hSpan = [&](int32_t y) {
        if (y < clip.top || y >= clip.bottom) return;
        const int32_t a = std::max(left, clip.left), b = std::min(right, clip.right - 1);
        if (a <= b) s.hLine(a, y, b - a + 1, colour);
    };
    auto vSpan = [&](int32_t x) {
        if (x < clip.left || x >= clip.right) return;
        const int32_t a = std::max(top, clip.top), b = std::min(bottom, clip.bottom - 1);
        if (a <= b) s.vLine(x, a, b - a + 1, colour);
    };
    hSpan(top);
    hSpan(bottom);
    vSpan(left);
    vSpan(right);
}

// RectFill with the rectangle clipped to the surface (written back), done as
// one filled row copied down: a whole-screen fill at 24 bits is then a
// memory copy rather than millions of three-byte stores.
void fillBackground(DrawSurface& s, uint32_t colour, Rect& rect) {
    rect = intersect(rect, {0, 0, s.width(), s.height()});
    if (rect.empty() || !s.hasPixels()) return;
    Rect first{rect.left, rect.top, rect.right, rect.top + 1};
    s.rectFill(colour, &first);
    const int32_t bpp = s.depth() / 8;
    const size_t bytes = size_t(rect.width()) * size_t(bpp);
    const uint8_t* filled = s.row(rect.top) + ptrdiff_t(rect.left) * bpp;
    for (int32_t y = rect.top + 1; y < rect.bottom; ++y)
        std::memcpy(s.row(y) + ptrdiff_t(rect.left) * bpp, filled, bytes);
}

// Clears the updating flag however the update ends.
struct UpdatingGuard {
    RendererState& state;
    explicit UpdatingGuard(RendererState& s) : state(s) { state.updating = true; }
    ~UpdatingGuard() { state.updating = false; }
};

}  // namespace

Rect widenClipBox(const Rect& clip, int32_t zoomShift) {
    const int32_t m = (1 << clampZoom(zoomShift)) - 1;
    return {clip.left & ~m, clip.top & ~m, (clip.right + m) & ~m, (clip.bottom + m) & ~m};
}

Rect windowToPlay(const Rect& window, int32_t scrollX, int32_t scrollY, int32_t zoomShift) {
    const int32_t z = clampZoom(zoomShift);
    return {scrollX + (window.left >> z), scrollY + (window.top >> z),
            scrollX + (window.right >> z), scrollY + (window.bottom >> z)};
}

Rect playToWindow(const Rect& play, int32_t scrollX, int32_t scrollY, int32_t zoomShift) {
    const int32_t z = clampZoom(zoomShift);
    return {(play.left - scrollX) * (1 << z), (play.top - scrollY) * (1 << z),
            (play.right - scrollX) * (1 << z), (play.bottom - scrollY) * (1 << z)};
}

std::string tilePicturePath(const std::string& dataFolder) {
    std::string path = dataFolder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + "gfx/tile.bmp";
}

Compositor::Compositor(DisplaySurface& display) : display_(display) {}

void Compositor::setDataFolder(std::string folder) {
    dataFolder_ = std::move(folder);
    tile_.reset();
    tileTried_ = false;
}

void Compositor::setTileLoader(PictureLoader loader) {
    tileLoader_ = std::move(loader);
    tile_.reset();
    tileTried_ = false;
}

Presentation Compositor::wholeBackBuffer() const {
    Presentation out;
    out.present = backBuffer_.hasPixels();
    out.source = {0, 0, backBuffer_.width(), backBuffer_.height()};
    out.dest = out.source;
    return out;
}

Presentation Compositor::updateView(const ViewRequest& request) {
    RendererState& st = renderer.state;
    Presentation out;
    if (st.reacquire && display_.hasPixels()) {
        display_.reacquireFullScreen();
        if (backBuffer_.depth() == 8) backBuffer_.copyPaletteFrom(display_, false);
        if (afterReacquire_) afterReacquire_();
        st.reacquire = false;
    }
    if (st.updating || request.minimised || !display_.hasPixels()) return out;
    UpdatingGuard guard(st);

    if (st.rebuildBuffers || !backBuffer_.hasPixels()) rebuildBuffers();
    if (!backBuffer_.hasPixels()) return out;
    if (st.frozen) return wholeBackBuffer();

    switch (st.displayState) {
        case DisplayState::Playing: composePlaying(request, out); break;
        case DisplayState::Tile: composeTile(out); break;
        case DisplayState::StartupAnimation:
            // The animation player draws the frame; without it nothing is shown.
            if (startupFrame_) {
                if (std::optional<Rect> area = startupFrame_(backBuffer_, display_)) {
                    out.present = !area->empty();
                    out.source = out.dest = *area;
                }
            }
            break;
    }
    return out;
}

void Compositor::rebuildBuffers() {
    RendererState& st = renderer.state;
    DrawSurface* picture = scene_.picture && scene_.picture->hasPixels() ? scene_.picture : nullptr;
    const int32_t screenW = display_.requestedWidth(), screenH = display_.requestedHeight();
    backBuffer_.releasePixels();
    if (!picture) {
        if (st.displayState == DisplayState::Playing) {
            backBuffer_.createLike(display_);
        } else {
            // The start-up animation and the tile are 8-bit pictures.
            display_.rectFill(0);
            display_.changeMode(screenW, screenH, 8);
            const bool big = display_.width() >= 800 && display_.height() >= 600;
            backBuffer_.createLike(display_, big ? display_.width() : 800,
                                   big ? display_.height() : 600);
        }
    } else {
        // The display follows the picture's depth as far as the modes allow;
        // with no fitting mode it stays as it is.
        const int32_t wanted = bestDisplayDepth(screenW, screenH, picture->depth());
        if (wanted > 0 && wanted != display_.depth()) {
            display_.rectFill(0);
            display_.changeMode(screenW, screenH, wanted);
        }
        backBuffer_.createLike(display_);
        if (display_.depth() == 8) display_.copyPaletteFrom(*picture, false);
    }
    if (backBuffer_.depth() == 8) backBuffer_.copyPaletteFrom(display_, false);
    // Native colours (othersColour included) follow the back buffer's format.
    if (backBuffer_.hasPixels()) st.refreshNativeColours(backBuffer_);
    // Shaded outline colours are native pixels too: rebuild them when the
    // depth changed and the picture matches the new one.
    if (picture && scene_.model && backBuffer_.hasPixels() &&
        picture->depth() == backBuffer_.depth() && st.shadesDepth != backBuffer_.depth()) {
        renderer.buildOutlineShades(*scene_.model, picture);
    }
    display_.rectFill(0);
    tile_.reset();
    tileTried_ = false;
    st.rebuildBuffers = false;
}

void Compositor::composePlaying(const ViewRequest& request, Presentation& out) {
    const RendererState& st = renderer.state;
    if (request.clipBox.empty()) return;
    DrawSurface* picture = scene_.picture && scene_.picture->hasPixels() ? scene_.picture : nullptr;
    const PuzzleModel* model = scene_.model;

    const bool movie = scene_.settings && (scene_.settings->pictureKind == kPictureMovie ||
                                           scene_.settings->pictureKind == kPictureMovieWithData);
    if (st.viewMode == kViewFinished && picture && movie) {
        composeFinishedMovie(request.clipBox, out);
        return;
    }

    if (request.reduce > 1) {
        composeReduced(request, out);
        return;
    }
    const int32_t z = clampZoom(request.zoomShift);
    const Rect play =
        windowToPlay(widenClipBox(request.clipBox, z), request.scrollX, request.scrollY, z);
    Rect filled = play;
    fillBackground(backBuffer_, st.backgroundColour, filled);  // clips `filled` to the back buffer
    if (filled.empty()) {
        backBuffer_.updateRect = Rect{};
        return;
    }

    const PuzzleGeometry geo = model ? model->geometry() : PuzzleGeometry{};
    if (picture) {
        const int32_t pw = geo.pictureWidth > 0 ? geo.pictureWidth : picture->width();
        const int32_t ph = geo.pictureHeight > 0 ? geo.pictureHeight : picture->height();
        const int32_t x = geo.playWidth / 2 - pw / 2 + geo.offsetX;
        const int32_t y = geo.playHeight / 2 - ph / 2 + geo.offsetY;
        frameInside(backBuffer_, x, y, x + pw - 1, y + ph - 1, st.puzzleOutlineColour, filled);
    }

    Rect drawn = filled;
    if (model) {
        // The model's mutex comes before any surface lock.
        NamedLock lock(NamedMutex::PIECE);
        uint8_t* target = backBuffer_.lock();
        const uint8_t* source = picture ? picture->lock() : nullptr;
        if (target && (!picture || source)) {
            if (!(st.viewMode & kViewAssembled)) {
                if (st.puzzleOutlineShown && picture)
                    renderer.drawPuzzleOutline(*model, filled, backBuffer_, geo.offsetX,
                                               geo.offsetY);
                renderer.drawAllOutlinesAndPieces(*model, ListId::Main, drawn, backBuffer_,
                                                  picture);
            } else {
                renderer.drawAssembled(*model, filled, backBuffer_, picture, geo.offsetX,
                                       geo.offsetY);
            }
        }
        backBuffer_.unlock();
        if (picture) picture->unlock();
    }

    if (request.selection) {
        const Rect& s = *request.selection;
        frameInside(backBuffer_, std::min(s.left, s.right), std::min(s.top, s.bottom),
                    std::max(s.left, s.right) - 1, std::max(s.top, s.bottom) - 1,
                    st.selectionRectColour, filled);
    }

    // Pieces reaching past the back buffer grow `drawn` beyond it; only what
    // exists can be shown.
    backBuffer_.updateRect =
        intersect(intersect(play, drawn), {0, 0, backBuffer_.width(), backBuffer_.height()});
    if (backBuffer_.updateRect.empty()) return;
    out.present = true;
    out.source = backBuffer_.updateRect;
    // The destination follows the source exactly, so a rectangle cut at the
    // back buffer's edge is shown unstretched at its own place.
    out.dest = playToWindow(out.source, request.scrollX, request.scrollY, z);
    out.zoomShift = z;
}

const ReducedPuzzle* Compositor::reduced(int32_t factor) {
    const PuzzleModel* model = scene_.model;
    if (!model || !model->hasPuzzle() || factor < 2) return nullptr;
    DrawSurface* picture = scene_.picture && scene_.picture->hasPixels() ? scene_.picture : nullptr;
    ++useCount_;
    ReducedEntry* entry = nullptr;
    for (ReducedEntry& e : reduced_)
        if (e.copies->factor == factor) entry = &e;
    // Copies of another cut (a different piece count) are made again.
    if (entry && entry->copies->pieces.size() != size_t(model->pieceCount())) entry->copies->factor = 0;
    if (!entry || entry->copies->factor == 0) {
        auto copies = std::make_unique<ReducedPuzzle>();
        if (!buildReducedPuzzle(*model, picture, factor, *copies)) return nullptr;
        if (!entry) {
            reduced_.push_back({});
            entry = &reduced_.back();
        }
        entry->copies = std::move(copies);
        entry->pictureVersion = pictureVersion_;
    } else if (entry->pictureVersion != pictureVersion_ && picture) {
        refreshReducedPicture(*picture, *entry->copies);
        entry->pictureVersion = pictureVersion_;
    }
    entry->lastUse = useCount_;
    const ReducedPuzzle* inUse = entry->copies.get();
    // Within the memory allowance, the least recently used copies go.
    const size_t allowance =
        picture ? size_t(picture->pitch()) * size_t(picture->height()) / 3 : inUse->bytes();
    for (;;) {
        size_t total = 0;
        ReducedEntry* oldest = nullptr;
        for (ReducedEntry& e : reduced_) {
            total += e.copies->bytes();
            if (e.copies.get() != inUse && (!oldest || e.lastUse < oldest->lastUse)) oldest = &e;
        }
        if (total <= allowance || !oldest) break;
        reduced_.erase(reduced_.begin() + (oldest - reduced_.data()));
    }
    return inUse;
}

void Compositor::composeReduced(const ViewRequest& request, Presentation& out) {
    const RendererState& st = renderer.state;
    const int32_t d = request.reduce;
    const Point origin = request.reduceOrigin;
    Rect filled = request.clipBox;
    fillBackground(backBuffer_, st.backgroundColour, filled);
    if (filled.empty()) {
        backBuffer_.updateRect = Rect{};
        return;
    }
    // A play-area rectangle (right and bottom exclusive) in window pixels.
    auto toWindow = [&](const Rect& r) {
        return Rect{floorDivide(int64_t(r.left) - origin.x, d), floorDivide(int64_t(r.top) - origin.y, d),
                    ceilDivide(int64_t(r.right) - origin.x, d), ceilDivide(int64_t(r.bottom) - origin.y, d)};
    };
    const PuzzleModel* model = scene_.model;
    const PuzzleGeometry geo = model ? model->geometry() : PuzzleGeometry{};
    DrawSurface* picture = scene_.picture && scene_.picture->hasPixels() ? scene_.picture : nullptr;
    if (picture) {
        const int32_t pw = geo.pictureWidth > 0 ? geo.pictureWidth : picture->width();
        const int32_t ph = geo.pictureHeight > 0 ? geo.pictureHeight : picture->height();
        const int32_t x = geo.playWidth / 2 - pw / 2 + geo.offsetX;
        const int32_t y = geo.playHeight / 2 - ph / 2 + geo.offsetY;
        const Rect frame = toWindow({x, y, x + pw, y + ph});
        frameInside(backBuffer_, frame.left, frame.top, frame.right - 1, frame.bottom - 1, st.puzzleOutlineColour,
                    filled);
    }
    const ReducedPuzzle* copies = model ? reduced(d) : nullptr;
    if (copies) {
        NamedLock lock(NamedMutex::PIECE);
        uint8_t* target = backBuffer_.lock();
        if (target) {
            if (!(st.viewMode & kViewAssembled)) {
                if (st.puzzleOutlineShown && picture)
                    renderer.drawReducedAssembled(*model, *copies, filled, backBuffer_, origin, true);
                // Shaded outlines a cell wide would cover most of a piece
                // drawn a few cells across.
                renderer.drawReducedList(*model, *copies, ListId::Main, filled, backBuffer_, origin, d <= 3);
            } else {
                renderer.drawReducedAssembled(*model, *copies, filled, backBuffer_, origin, false);
            }
        }
        backBuffer_.unlock();
    }
    if (request.selection) {
        const Rect& r = *request.selection;
        const Rect band = toWindow({std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                                    std::max(r.top, r.bottom)});
        frameInside(backBuffer_, band.left, band.top, band.right - 1, band.bottom - 1, st.selectionRectColour,
                    filled);
    }
    backBuffer_.updateRect = filled;
    out.present = true;
    out.source = out.dest = filled;
    out.zoomShift = 0;
}

void Compositor::composeFinishedMovie(const Rect& clip, Presentation& out) {
    // The finished moving picture plays centred on the screen, unmagnified,
    // on the background colour; this pass works in window coordinates.
    DrawSurface& picture = *scene_.picture;
    Rect area = clip;
    fillBackground(backBuffer_, renderer.state.backgroundColour, area);
    if (area.empty()) return;
    const int32_t x = backBuffer_.width() / 2 - picture.width() / 2;
    const int32_t y = backBuffer_.height() / 2 - picture.height() / 2;
    const Rect shown = intersect(area, {x, y, x + picture.width(), y + picture.height()});
    if (!shown.empty()) {
        backBuffer_.copyBitmap(picture, shown.left, shown.top, shown.left - x, shown.top - y,
                               shown.width(), shown.height());
    }
    backBuffer_.updateRect = area;
    out.present = true;
    out.source = out.dest = area;
    out.zoomShift = 0;
}

void Compositor::composeTile(Presentation& out) {
    if (!tileTried_) {
        tileTried_ = true;
        auto tile = std::make_unique<DrawSurface>();
        if (tileLoader_ && tileLoader_(*tile, tilePicturePath(dataFolder_)) && tile->hasPixels())
            tile_ = std::move(tile);
    }
    // Without a tile the back buffer is shown as it was.
    if (tile_) {
        if (tile_->depth() == 8) {
            backBuffer_.copyPaletteFrom(*tile_, false);
            if (display_.depth() == 8) display_.copyPaletteFrom(*tile_, false);
        }
        const int32_t tw = tile_->width(), th = tile_->height();
        const int32_t bw = backBuffer_.width(), bh = backBuffer_.height();
        // Copies at the right and bottom edges take only the part of the tile
        // that fits (a larger source would be squeezed into the clipped place).
        for (int32_t y = 0; y < bh; y += th)
            for (int32_t x = 0; x < bw; x += tw)
                backBuffer_.copyBitmap(*tile_, x, y, 0, 0, std::min(tw, bw - x),
                                       std::min(th, bh - y));
    }
    out = wholeBackBuffer();
}

}  // namespace pavalo
