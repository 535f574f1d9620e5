// Build tool: writes the 21 seam-shape resources. Usage: pavalo-gen-seams OUTDIR
// Produces OUTDIR/pdf_<id>.bin for every size of the shape table.
#include <cstdio>
#include <string>

#include "resources/seam_design.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    for (const auto& entry : pavalo::seam::kSeamSizes) {
        auto bytes = pavalo::seam::encodeShapeSet(pavalo::seam::designShapeSet(entry.size));
        std::string path = dir + "/pdf_" + std::to_string(entry.id) + ".bin";
        std::string temp = path + ".tmp";
        std::FILE* f = std::fopen(temp.c_str(), "wb");
        bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f && std::fclose(f) != 0) ok = false;
        if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
            std::fprintf(stderr, "pavalo-gen-seams: cannot write %s\n", path.c_str());
            std::remove(temp.c_str());
            return 1;
        }
    }
    return 0;
}
