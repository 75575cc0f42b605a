// make_icon OUT.png: draws the 64 x 64, 256-colour window icon of zorpamux,
// pixel by pixel (no antialiasing, so the result is the same everywhere):
// an STE-style monitor whose screen shows raster bars that change colour
// across the line, as the encoder's pictures do, a "Z" and a sound wave.
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <array>
#include <cstdio>

namespace {

constexpr int kSize = 64;

class Canvas {
  public:
    Canvas() {
        pixels_.fill(0);
        colours_.push_back(qRgba(0, 0, 0, 0));
    }

    void put(int x, int y, QRgb colour) {
        if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
        pixels_[static_cast<std::size_t>(y * kSize + x)] = index_of(colour);
    }

    void fill(int x0, int y0, int x1, int y1, QRgb colour) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) put(x, y, colour);
    }

    void outline(int x0, int y0, int x1, int y1, QRgb colour) {
        for (int x = x0; x <= x1; ++x) {
            put(x, y0, colour);
            put(x, y1, colour);
        }
        for (int y = y0; y <= y1; ++y) {
            put(x0, y, colour);
            put(x1, y, colour);
        }
    }

    QImage image() const {
        QImage result(kSize, kSize, QImage::Format_Indexed8);
        result.setColorTable(colours_);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                result.setPixel(
                    x, y, static_cast<uint>(pixels_[static_cast<std::size_t>(y * kSize + x)]));
        return result;
    }

  private:
    int index_of(QRgb colour) {
        for (int i = 0; i < colours_.size(); ++i)
            if (colours_[i] == colour) return i;
        colours_.push_back(colour);
        return static_cast<int>(colours_.size() - 1);
    }

    std::array<int, kSize * kSize> pixels_{};
    QList<QRgb> colours_;
};

// A colour of 4-bit STE levels.
QRgb ste(int r, int g, int b) {
    return qRgb(r * 17, g * 17, b * 17);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argc > 0 ? argv[0] : "make_icon");
        return 2;
    }
    Canvas c;
    const QRgb ink = ste(3, 3, 3);
    const QRgb casing = ste(13, 12, 10);
    const QRgb casing_light = ste(15, 14, 12);
    const QRgb casing_dark = ste(9, 8, 7);
    const QRgb black = ste(0, 0, 0);
    const QRgb white = ste(15, 15, 15);

    // Monitor casing with a light top-left and a dark bottom-right edge.
    c.fill(2, 3, 61, 52, casing);
    c.fill(3, 4, 60, 4, casing_light);
    c.fill(3, 4, 3, 51, casing_light);
    c.fill(3, 51, 60, 51, casing_dark);
    c.fill(60, 5, 60, 51, casing_dark);
    c.outline(2, 3, 61, 52, ink);
    // Power light.
    c.fill(55, 48, 57, 49, ste(0, 14, 2));

    // Screen: raster bars in three column zones, each with its own ramp.
    c.outline(7, 7, 56, 45, ink);
    for (int y = 8; y <= 33; ++y) {
        const int level = (y - 8) * 15 / 25;
        for (int x = 8; x <= 55; ++x) {
            const int zone = (x - 8) / 16;
            QRgb colour;
            if (zone == 0) {
                colour = ste(15, level, 0);
            } else if (zone == 1) {
                colour = ste(0, 15 - level / 2, level);
            } else {
                colour = ste(level, 0, 15);
            }
            c.put(x, y, colour);
        }
    }

    // A "Z" with a shadow on the bars.
    const char* z_rows[] = {"#######", "     ##", "    ## ", "   ##  ",
                            "  ##   ", " ##    ", "#######"};
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 7; ++col) {
            if (z_rows[row][col] != '#') continue;
            c.put(25 + col, 13 + row, black);
        }
    }
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 7; ++col) {
            if (z_rows[row][col] != '#') continue;
            c.put(24 + col, 12 + row, white);
        }
    }

    // Sound wave under the bars.
    c.fill(8, 34, 55, 44, black);
    static const int wave[] = {0, 1, 3, 4, 4, 3, 1, 0, -1, -3, -4, -4, -3, -1};
    const QRgb trace = ste(2, 15, 4);
    for (int x = 8; x <= 55; ++x) {
        const int amplitude = wave[(x - 8) % 14];
        const int from = 39 - (amplitude > 0 ? amplitude : 0);
        const int to = 39 - (amplitude < 0 ? amplitude : 0);
        c.fill(x, from, x, to, trace);
    }

    // Stand and foot.
    c.fill(26, 53, 37, 56, casing_dark);
    c.outline(26, 53, 37, 56, ink);
    c.fill(16, 57, 47, 60, casing);
    c.outline(16, 57, 47, 60, ink);

    if (!c.image().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: %s: cannot write the icon\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
