// pavalo-tool library: create image libraries, add and remove pictures, list
// them and save a thumbnail, as the picture chooser would.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/bmp.h"
#include "media/image_library.h"
#include "platform/platform.h"
#include "shell/data_folder.h"
#include "shell/registry.h"
#include "tools/console_platform.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

int usage(const std::string& message) {
    std::fprintf(stderr, "pavalo-tool library: %s\n", message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "pavalo-tool library: %s\n", message.c_str());
    return 1;
}

bool parseIndex(const std::string& text, int32_t& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < 0 || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

int create(const Args& args) {
    std::string name, password, folder = dataFolder();
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password" && i + 1 < args.size())
            password = args[++i];
        else if (args[i] == "--data" && i + 1 < args.size())
            folder = args[++i];
        else if (name.empty() && !args[i].empty() && args[i][0] != '-')
            name = args[i];
        else
            return usage("usage: library create NAME [--password P] [--data DIR]");
    }
    if (name.empty() || name.find('/') != std::string::npos) return usage("a library name without '/' is needed");
    if (password.size() > kLibraryPasswordMax) return failure("the password is longer than 31 characters");
    const std::optional<LibraryHeader> header = makeLibraryHeader(name, password);
    if (!header) return failure("the name is longer than 255 characters");
    const std::string path = joinPath(folder, name + kLibraryExtension);
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return failure(path + " already exists");
    }
    std::string error;
    if (!writeLibraryHeaderFile(path, *header, error)) return failure("Unable to create file " + path);
    Registry registry(defaultRegistryPath());
    if (!registerLibrary(registry, path)) std::fprintf(stderr, "Unable to add library to the registry\n");
    std::printf("%s\n", path.c_str());
    return 0;
}

int add(const Args& args) {
    if (args.size() < 2) return usage("usage: library add LIB.gvl PICTURE...");
    // The messages the library operations show, printed instead.
    ConsolePlatform console("", MessageResult::Yes);
    int status = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::optional<int32_t> existing = findImageInLibrary(args[0], args[i]);
        if (existing && *existing >= 0) {
            std::fprintf(stderr, "The image %s already exists in the library\n", args[i].c_str());
            status = 1;
            continue;
        }
        const int32_t count = addImageToLibrary(console, args[0], args[i]);
        if (count < 0) {
            status = 1;
            continue;
        }
        std::printf("%d %s\n", count - 1, args[i].c_str());
    }
    return status;
}

int list(const Args& args) {
    if (args.size() != 1) return usage("usage: library list LIB.gvl");
    const std::optional<LibraryFileInfo> info = readLibraryInfo(args[0]);
    if (!info) return failure("Unable to open file " + args[0]);
    const LibraryHeader& h = info->header;
    std::printf("magic %d%s\nname %s\npassword %s\ncount %d\n", h.magic,
                h.magic == kLibraryMagic ? "" : " (not a library)", h.nameText().c_str(),
                h.hasPassword() ? "set" : "none", h.count);
    if (info->usableCount != h.count)
        std::printf("records present %d (the count disagrees with the file's %lld bytes)\n", info->usableCount,
                    static_cast<long long>(info->fileSize));
    const auto records = readLibraryRecords(args[0], 0, info->usableCount);
    if (!records) return failure("Unable to open file " + args[0]);
    for (size_t i = 0; i < records->size(); ++i) {
        const LibraryImageRecord& r = (*records)[i];
        std::printf("%zu\t%s\t%dx%d\tthumb %dx%d\t%s\n", i, r.titleText().c_str(), r.width, r.height, r.thumbWidth,
                    r.thumbHeight, r.pathText().c_str());
    }
    return 0;
}

int remove(const Args& args) {
    int32_t index = 0;
    if (args.size() != 2 || !parseIndex(args[1], index)) return usage("usage: library remove LIB.gvl INDEX");
    std::string error;
    const int32_t count = removeLibraryImage(args[0], index, error);
    if (count < 0) return failure(error);
    std::printf("%d pictures left\n", count);
    return 0;
}

int thumb(const Args& args) {
    int32_t index = 0;
    if (args.size() != 3 || !parseIndex(args[1], index)) return usage("usage: library thumb LIB.gvl INDEX OUT.bmp");
    const auto records = readLibraryRecords(args[0], index, 1);
    if (!records) return failure("Unable to open file " + args[0]);
    if (records->empty()) return failure("no picture " + args[1] + " in " + args[0]);
    DrawSurface s;
    if (!thumbnailSurface(records->front(), s) || !saveBmp(s, args[2])) return failure("cannot write " + args[2]);
    return 0;
}

}  // namespace

int libraryCommand(const Args& args) {
    if (args.empty()) return usage("usage: library create|add|list|remove|thumb ...");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "create") return create(rest);
    if (args[0] == "add") return add(rest);
    if (args[0] == "list") return list(rest);
    if (args[0] == "remove") return remove(rest);
    if (args[0] == "thumb") return thumb(rest);
    return usage("unknown library command '" + args[0] + "'");
}

}  // namespace pavalo::tool
