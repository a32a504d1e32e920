// Draws the "About" logo: the word TONARE in bold block letters over a glowing,
// bent sine wave, with "WAVE GENERATOR" beneath. Writes a 512 x 160 PNG with
// 8 bits per pixel and a 256-colour palette. Usage: logo_generator OUTPUT.png
#include <QColor>
#include <QImage>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>

namespace {

constexpr int Width = 512;
constexpr int Height = 160;

// Palette layout: each ramp is a run of indices from dark/top to light/bottom.
constexpr int BackgroundBase = 0, BackgroundCount = 48;
constexpr int GlowBase = 48, GlowCount = 48;
constexpr int ShadowIndex = 96;
constexpr int LetterBase = 112, LetterCount = 32;
constexpr int LightBase = 144;   // bevel highlight of each letter colour
constexpr int DarkBase = 176;    // bevel shade of each letter colour
constexpr int SubtitleBase = 208, SubtitleCount = 32;

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// Three-stop gradient: t = 0 gives a, 0.5 gives b, 1 gives c.
QColor Mix3(const QColor& a, const QColor& b, const QColor& c, double t) {
    return t < 0.5 ? Mix(a, b, t * 2) : Mix(b, c, t * 2 - 1);
}

QList<QRgb> Palette() {
    QList<QRgb> colours(256, qRgb(0, 0, 0));
    for (int i = 0; i < BackgroundCount; ++i)
        colours[BackgroundBase + i] = Mix(QColor(8, 12, 40), QColor(40, 8, 56), i / double(BackgroundCount - 1)).rgb();
    for (int i = 0; i < GlowCount; ++i)
        colours[GlowBase + i] = Mix3(QColor(14, 30, 70), QColor(20, 150, 190), QColor(210, 250, 255),
                                     i / double(GlowCount - 1)).rgb();
    colours[ShadowIndex] = qRgb(4, 4, 14);
    for (int i = 0; i < LetterCount; ++i) {
        const QColor letter = Mix3(QColor(255, 232, 90), QColor(255, 138, 30), QColor(224, 36, 94),
                                   i / double(LetterCount - 1));
        colours[LetterBase + i] = letter.rgb();
        colours[LightBase + i] = Mix(letter, Qt::white, 0.55).rgb();
        colours[DarkBase + i] = Mix(letter, Qt::black, 0.45).rgb();
    }
    for (int i = 0; i < SubtitleCount; ++i)
        colours[SubtitleBase + i] = Mix(QColor(235, 245, 255), QColor(120, 190, 235), i / double(SubtitleCount - 1)).rgb();
    return colours;
}

// Block letters: '#' marks a filled cell.
struct Glyph {
    char letter;
    std::array<std::string_view, 8> rows;
};

// Title letters, 6 x 8 cells with strokes two cells thick.
constexpr std::array<Glyph, 6> TitleFont = {{
    {'T', {"######", "######", "..##..", "..##..", "..##..", "..##..", "..##..", "..##.."}},
    {'O', {".####.", "######", "##..##", "##..##", "##..##", "##..##", "######", ".####."}},
    {'N', {"##..##", "###.##", "###.##", "######", "##.###", "##.###", "##..##", "##..##"}},
    {'A', {".####.", "######", "##..##", "##..##", "######", "######", "##..##", "##..##"}},
    {'R', {"#####.", "######", "##..##", "######", "#####.", "##.##.", "##..##", "##..##"}},
    {'E', {"######", "######", "##....", "#####.", "#####.", "##....", "######", "######"}},
}};

// Subtitle letters, 5 x 7 cells with thin strokes (the eighth row stays empty).
constexpr std::array<Glyph, 10> SubtitleFont = {{
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#", "....."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", "....."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#..", "....."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####", "....."}},
    {'G', {".####", "#....", "#....", "#.###", "#...#", "#...#", ".###.", "....."}},
    {'N', {"#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#", "....."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#", "....."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "....."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", "....."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."}},
}};

template <std::size_t N>
const Glyph& Find(const std::array<Glyph, N>& font, char letter) {
    return *std::find_if(font.begin(), font.end(), [&](const Glyph& g) { return g.letter == letter; });
}

class Picture {
public:
    Picture() : image_(Width, Height, QImage::Format_Indexed8) { image_.setColorTable(Palette()); }

    void Set(int x, int y, int index) {
        if (x >= 0 && x < Width && y >= 0 && y < Height) image_.scanLine(y)[x] = static_cast<uchar>(index);
    }

    void Background() {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) Set(x, y, BackgroundBase + y * BackgroundCount / Height);
    }

    // A sine whose phase is bent by a second, slower sine: the kind of shape the
    // synthesizer's waveform curves make. Drawn as a soft glowing line.
    void Wave(double centre, double amplitude, double periods, double bend, double shift, double radius) {
        for (int x = 0; x < Width; ++x) {
            const double u = x / double(Width);
            const double phase = 2 * std::numbers::pi * (periods * u + shift);
            const double curve = centre - amplitude * std::sin(phase + bend * std::sin(phase / 2));
            for (int y = 0; y < Height; ++y) {
                const double glow = 1.0 - std::abs(y - curve) / radius;
                if (glow <= 0) continue;
                const int level = GlowBase + static_cast<int>(glow * glow * (GlowCount - 1));
                image_.scanLine(y)[x] = static_cast<uchar>(std::max<int>(image_.scanLine(y)[x], level));
            }
        }
    }

    // Draws `text` with block cells of `cell` pixels; `paint` colours one cell.
    template <std::size_t N, typename Paint>
    void Text(const std::array<Glyph, N>& font, std::string_view text, int left, int top, int cell, int gap,
              Paint paint) {
        for (char letter : text) {
            const Glyph& glyph = Find(font, letter);
            for (int row = 0; row < 8; ++row)
                for (int col = 0; col < int(glyph.rows[row].size()); ++col)
                    if (glyph.rows[row][col] == '#') paint(left + col * cell, top + row * cell, row);
            left += int(glyph.rows[0].size()) * cell + gap;
        }
    }

    void Block(int left, int top, int size, int index) {
        for (int y = top; y < top + size; ++y)
            for (int x = left; x < left + size; ++x) Set(x, y, index);
    }

    bool Save(const char* path) const { return image_.save(QString::fromLocal8Bit(path), "PNG"); }

private:
    QImage image_;
};

int TextWidth(std::size_t letters, int glyphCells, int cell, int gap) {
    return int(letters) * glyphCells * cell + int(letters - 1) * gap;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    Picture logo;
    logo.Background();
    logo.Wave(62, 44, 2.5, 0.9, 0.0, 14);
    logo.Wave(70, 30, 4.0, -0.6, 0.3, 7);

    // Title: 10-pixel tiles, each with a light top-left and a dark bottom-right
    // edge; the colour runs from yellow at the top of a letter to red at its foot.
    constexpr std::string_view Title = "TONARE";
    constexpr int Tile = 10, TitleGap = 12, TitleTop = 14;
    const int titleLeft = (Width - TextWidth(Title.size(), 6, Tile, TitleGap)) / 2;
    auto shadow = [&](int x, int y, int) { logo.Block(x + 5, y + 5, Tile, ShadowIndex); };
    auto tile = [&](int x, int y, int row) {
        for (int dy = 0; dy < Tile; ++dy)
            for (int dx = 0; dx < Tile; ++dx) {
                const int shade = ((row * Tile + dy) * (LetterCount - 1)) / (8 * Tile - 1);
                int base = LetterBase;
                if (dx == 0 || dy == 0) base = LightBase;
                else if (dx == Tile - 1 || dy == Tile - 1) base = DarkBase;
                logo.Set(x + dx, y + dy, base + shade);
            }
    };
    logo.Text(TitleFont, Title, titleLeft, TitleTop, Tile, TitleGap, shadow);
    logo.Text(TitleFont, Title, titleLeft, TitleTop, Tile, TitleGap, tile);

    constexpr std::string_view Subtitle = "WAVE GENERATOR";
    constexpr int Dot = 3, SubtitleGap = 6, SubtitleTop = 118;
    const int subtitleLeft = (Width - TextWidth(Subtitle.size(), 5, Dot, SubtitleGap)) / 2;
    logo.Text(SubtitleFont, Subtitle, subtitleLeft, SubtitleTop, Dot, SubtitleGap,
              [&](int x, int y, int) { logo.Block(x + 2, y + 2, Dot, ShadowIndex); });
    logo.Text(SubtitleFont, Subtitle, subtitleLeft, SubtitleTop, Dot, SubtitleGap, [&](int x, int y, int row) {
        logo.Block(x, y, Dot, SubtitleBase + row * (SubtitleCount - 1) / 6);
    });

    if (!logo.Save(argv[1])) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
