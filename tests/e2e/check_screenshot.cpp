// Checks a screenshot of the game: the window was really drawn (not blank)
// and the sample picture's colours are on screen; or, with --differ, that
// two screenshots of the same size differ (something moved between them).
// Usage: check-screenshot SHOT.png PICTURE
//        check-screenshot --differ FIRST.png SECOND.png
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <set>
#include <string>

// Pixels that differ between two shots; -1 when they cannot be compared.
long long differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    long long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--differ") {
        QImage first(argv[2]), second(argv[3]);
        const long long n = first.isNull() || second.isNull() ? -1 : differingPixels(first, second);
        std::printf("%lld pixels differ\n", n);
        if (n < 0) {
            std::fprintf(stderr, "cannot read or compare %s and %s\n", argv[2], argv[3]);
            return 1;
        }
        // A moving picture changes a good part of the play area, not a cursor's worth.
        if (n < 5000) {
            std::fprintf(stderr, "the two shots are (nearly) the same\n");
            return 1;
        }
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SHOT.png PICTURE\n", argv[0]);
        return 2;
    }
    QImage shot(argv[1]), picture(argv[2]);
    if (shot.isNull() || picture.isNull()) {
        std::fprintf(stderr, "cannot read %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    // Coarse colours (4 bits a channel) of the picture and of the shot.
    auto coarse = [](QRgb c) { return (qRed(c) >> 4) << 8 | (qGreen(c) >> 4) << 4 | (qBlue(c) >> 4); };
    std::set<int> pictureColours, shotColours;
    for (int y = 0; y < picture.height(); y += 3)
        for (int x = 0; x < picture.width(); x += 3) pictureColours.insert(coarse(picture.pixel(x, y)));
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) shotColours.insert(coarse(shot.pixel(x, y)));
    int shared = 0;
    for (int c : shotColours) shared += pictureColours.count(c) ? 1 : 0;
    std::printf("shot %dx%d: %zu colours, %d of them from the picture (which has %zu)\n", shot.width(),
                shot.height(), shotColours.size(), shared, pictureColours.size());
    if (shotColours.size() < 50) {
        std::fprintf(stderr, "the window looks blank\n");
        return 1;
    }
    if (shared < 100) {
        std::fprintf(stderr, "the picture's colours are missing from the window\n");
        return 1;
    }
    return 0;
}
