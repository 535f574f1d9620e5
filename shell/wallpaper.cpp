// Composing and writing the wallpaper picture.
#include "shell/wallpaper.h"

#include <algorithm>
#include <cctype>
#include <cstring>
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

namespace pavalo {
namespace {

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool desktopIs(const std::string& current, std::initializer_list<const char*> names) {
    size_t start = 0;
    const std::string all = lower(current);
    while (start <= all.size()) {
        const size_t end = std::min(all.find(':', start), all.size());
        const std::string one = all.substr(start, end - start);
        for (const char* n : names)
            if (one == n) return true;
        start = end + 1;
    }
    return false;
}

// file:// URI of an absolute path, with the characters a URI cannot hold escaped.
std::string fileUri(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            uri += char(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

std::string quotedForScript(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

bool succeeded(const DesktopCommands& commands, const DesktopCommand& command) {
    const DesktopCommandResult r = commands.run(command);
    return r.ran && r.status == 0;
}

}  // namespace

std::string setDesktopWallpaper(const std::string& path, const std::string& currentDesktop,
                                const DesktopCommands& commands) {
    const std::string saved = "  The picture was saved as " + path + "; it can be chosen in the desktop's settings.";
    auto failed = [&](const std::string& program) {
        return "The desktop did not take the new wallpaper (" + program + " failed)." + saved;
    };
    auto gsettings = [&](const std::string& schema, std::vector<std::pair<std::string, std::string>> keys) {
        if (!commands.exists("gsettings")) return std::string("gsettings, which sets the wallpaper here, is not installed.") + saved;
        for (const auto& [key, value] : keys)
            if (!succeeded(commands, {"gsettings", {"set", schema, key, value}})) return failed("gsettings");
        return std::string();
    };

    if (desktopIs(currentDesktop, {"kde"})) {
        if (commands.exists("plasma-apply-wallpaperimage")) {
            if (succeeded(commands, {"plasma-apply-wallpaperimage", {path}})) return {};
            return failed("plasma-apply-wallpaperimage");
        }
        const std::string script =
            "for (const d of desktops()) { d.wallpaperPlugin = 'org.kde.image'; "
            "d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; "
            "d.writeConfig('Image', " + quotedForScript(fileUri(path)) + "); }";
        for (const char* qdbus : {"qdbus6", "qdbus", "qdbus-qt5"}) {
            if (!commands.exists(qdbus)) continue;
            if (succeeded(commands, {qdbus, {"org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", script}}))
                return {};
            return failed(qdbus);
        }
        return "Neither plasma-apply-wallpaperimage nor qdbus, which set the wallpaper on this desktop, is installed." +
               saved;
    }
    if (desktopIs(currentDesktop, {"xfce"})) {
        if (!commands.exists("xfconf-query")) return "xfconf-query, which sets the wallpaper here, is not installed." + saved;
        // Every monitor and workspace has its own picture setting.
        const DesktopCommandResult list = commands.run({"xfconf-query", {"-c", "xfce4-desktop", "-l"}});
        if (!list.ran || list.status != 0) return failed("xfconf-query");
        std::vector<std::string> properties;
        size_t start = 0;
        while (start < list.output.size()) {
            const size_t end = std::min(list.output.find('\n', start), list.output.size());
            const std::string line = list.output.substr(start, end - start);
            if (line.size() > 11 && line.compare(line.size() - 11, 11, "/last-image") == 0) properties.push_back(line);
            start = end + 1;
        }
        if (properties.empty()) {
            if (succeeded(commands, {"xfconf-query",
                                     {"-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitor0/workspace0/last-image",
                                      "-n", "-t", "string", "-s", path}}))
                return {};
            return failed("xfconf-query");
        }
        for (const std::string& p : properties)
            if (!succeeded(commands, {"xfconf-query", {"-c", "xfce4-desktop", "-p", p, "-s", path}}))
                return failed("xfconf-query");
        return {};
    }
    if (desktopIs(currentDesktop, {"x-cinnamon", "cinnamon"}))
        return gsettings("org.cinnamon.desktop.background", {{"picture-uri", fileUri(path)}});
    if (desktopIs(currentDesktop, {"mate"}))
        return gsettings("org.mate.background", {{"picture-filename", path}});
    if (desktopIs(currentDesktop, {"gnome", "unity", "budgie", "pantheon", "gnome-classic", "ubuntu", "pop"}))
        return gsettings("org.gnome.desktop.background",
                         {{"picture-uri", fileUri(path)}, {"picture-uri-dark", fileUri(path)}});
    return "Pavalo does not know how to set the wallpaper on this desktop" +
           (currentDesktop.empty() ? std::string() : " (" + currentDesktop + ")") + "." + saved;
}

}  // namespace pavalo
