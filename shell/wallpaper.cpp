// Composing and writing the wallpaper picture.
#include "shell/wallpaper.h"

#include <filesystem>

#include "common/named_mutex.h"
#include "media/bmp.h"
#include "shell/data_folder.h"

namespace pavalo {

std::string wallpaperFolder(std::string_view xdgDataHome, std::string_view home) {
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') return joinPath(xdgDataHome, "backgrounds");
    if (!home.empty()) return joinPath(joinPath(home, ".local/share"), "backgrounds");
    return {};
}

std::string wallpaperPath(std::string_view folder) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    return path + std::string(kWallpaperFileName);
}

bool composeWallpaper(const PieceRenderer& renderer, const PuzzleModel& model, DrawSurface* picture,
                      const DrawSurface& like, DrawSurface& out) {
    if (!like.hasPixels() || !picture || !picture->hasPixels() || !model.hasPuzzle()) return false;
    const PuzzleGeometry g = model.geometry();
    DrawSurface area;
    if (!area.createLike(like, g.playWidth, g.playHeight)) return false;
    if (area.depth() == 8) area.copyPaletteFrom(like, false);
    const RendererState& st = renderer.state;
    area.rectFill(st.backgroundColour);
    const int32_t x = g.playWidth / 2 - g.pictureWidth / 2 + g.offsetX;
    const int32_t y = g.playHeight / 2 - g.pictureHeight / 2 + g.offsetY;
    area.drawFrame(x, y, x + g.pictureWidth - 1, y + g.pictureHeight - 1, st.puzzleOutlineColour);
    {
        // The model's mutex before the surfaces' pixels.
        NamedLock lock(NamedMutex::PIECE);
        area.lock();
        picture->lock();
        // The Main list's walk draws the Finished list beneath it.
        Rect all{0, 0, g.playWidth, g.playHeight};
        renderer.drawAllOutlinesAndPieces(model, ListId::Main, all, area, picture);
        area.unlock();
        picture->unlock();
    }
    if (!out.create(g.playWidth, g.playHeight, 24)) return false;
    return out.copyBitmap(area, 0, 0);
}

bool saveWallpaper(const PieceRenderer& renderer, const PuzzleModel& model, DrawSurface* picture,
                   const DrawSurface& like, const std::string& path) {
    DrawSurface out;
    if (!composeWallpaper(renderer, model, picture, like, out)) return false;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    return saveBmp(out, path);
}

}  // namespace pavalo
