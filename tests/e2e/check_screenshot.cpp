// Checks a screenshot of the game: the window was really drawn (not blank)
// and the sample picture's colours are on screen.
// Usage: check-screenshot SHOT.png PICTURE
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <set>

int main(int argc, char** argv) {
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
