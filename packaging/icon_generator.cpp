// Draws the application icon: a bent wave over five piano keys on a
// dark rounded tile. Every size is laid out on its own pixel grid, so 16 and
// 24 pixels stay crisp; the scalable SVG repeats the 256-pixel layout.
// Usage: icon_generator OUTPUT_DIR NAME SIZE...  (writes OUTPUT_DIR/<N>x<N>/apps/NAME.png
// for every SIZE and OUTPUT_DIR/scalable/apps/NAME.svg)
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace {

constexpr int SvgSize = 256;   // the SVG shares this size's layout
// Below this size every edge sits on whole pixels and nothing is antialiased.
constexpr int SmoothFrom = 32;

const QColor TileTop(8, 12, 40), TileBottom(40, 8, 56);
const QColor WaveStart(255, 232, 90), WaveMiddle(255, 138, 30), WaveEnd(224, 36, 94);
const QColor WhiteKey(244, 240, 228), BlackKey(12, 10, 18), KeyBed(4, 4, 14);

// Five white keys, C to G; a black key follows C, D and F.
enum WhiteKeyIndex { KeyC, KeyD, KeyE, KeyF, KeyG, WhiteKeyCount };
constexpr std::array<bool, WhiteKeyCount - 1> BlackAfter = {true, true, false, true};

// The wave: a sine whose phase a slower sine bends, like the synthesizer's curves.
constexpr double Periods = 1.5;
constexpr double Bend = 0.9;

double WaveAt(double u) {   // u in 0..1, result in -1..1
    const double phase = 2 * std::numbers::pi * Periods * u;
    return std::sin(phase + Bend * std::sin(phase / 2));
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QColor WaveColour(double u) {
    return u < 0.5 ? Mix(WaveStart, WaveMiddle, u * 2) : Mix(WaveMiddle, WaveEnd, u * 2 - 1);
}

// Whole-pixel placement of every part for one size.
struct Layout {
    int size;
    int corner;       // tile corner radius
    int border;       // tile edge around keys and wave
    int keysTop;      // first row of the keys
    int keysBottom;   // one past the last row of the keys
    int keysLeft;
    int keyWidth;
    int keyGap;
    int blackWidth;
    int blackHeight;
    int waveTop;      // rows the wave's centre line may use
    int waveBottom;
    int waveLeft;     // columns the wave spans
    int waveRight;
    int thickness;    // the wave's stroke

    // Proportions come from a 16-pixel design, measured in sixteenths of the
    // side and rounded to whole pixels at every size.
    explicit Layout(int s) : size(s) {
        const auto scaled = [s](double sixteenths) { return std::max(1, int(std::lround(s * sixteenths / 16))); };
        corner = scaled(2.5);
        border = scaled(1);
        keyGap = std::max(1, s / 32);
        keysBottom = s - border;
        keysTop = s * 5 / 8;
        keyWidth = (s - 2 * border - (WhiteKeyCount - 1) * keyGap) / WhiteKeyCount;
        const int keysWidth = WhiteKeyCount * keyWidth + (WhiteKeyCount - 1) * keyGap;
        keysLeft = (s - keysWidth) / 2;
        blackWidth = std::max(2, int(std::lround(keyWidth * 0.6)));
        blackHeight = std::max(2, (keysBottom - keysTop) * 3 / 5);
        thickness = scaled(1.5);
        waveTop = border + thickness;
        waveBottom = keysTop - keyGap - thickness - 1;
        waveLeft = border + thickness / 2;
        waveRight = s - border - thickness / 2 - 1;
    }

    bool Smooth() const { return size >= SmoothFrom; }
    QRect White(int key) const { return {keysLeft + key * (keyWidth + keyGap), keysTop, keyWidth, keysBottom - keysTop}; }
    // A black key over the gap after white key `key`, its left edge in the gap's
    // left half so that odd and even widths both sit as centred as pixels allow.
    QRect Black(int key) const {
        const int gapCentre = White(key).right() + 1 + keyGap / 2;
        return {gapCentre - blackWidth / 2, keysTop, blackWidth, blackHeight};
    }
    double WaveY(double u) const {
        const double centre = (waveTop + waveBottom) / 2.0, amplitude = (waveBottom - waveTop) / 2.0;
        return centre - amplitude * WaveAt(u);
    }
};

QLinearGradient TileGradient(int size) {
    QLinearGradient gradient(0, 0, 0, size);
    gradient.setColorAt(0, TileTop);
    gradient.setColorAt(1, TileBottom);
    return gradient;
}

// Small sizes: one wave sample per column, joined to the previous column by a
// vertical run, so the line is exactly `thickness` pixels and never blurred.
void PixelWave(QImage& image, const Layout& l) {
    int previous = -1;
    for (int x = l.waveLeft; x <= l.waveRight; ++x) {
        const double u = double(x - l.waveLeft) / (l.waveRight - l.waveLeft);
        const int y = int(std::lround(l.WaveY(u)));
        const int from = previous < 0 ? y : std::min(y, previous + (y > previous ? 1 : 0));
        const int to = previous < 0 ? y : std::max(y, previous - (y < previous ? 1 : 0));
        const QRgb colour = WaveColour(u).rgb();
        for (int row = from - l.thickness / 2; row <= to + (l.thickness - 1) / 2; ++row)
            for (int dx = -(l.thickness / 2); dx <= (l.thickness - 1) / 2; ++dx)
                if (image.rect().contains(x + dx, row)) image.setPixel(x + dx, row, colour);
        previous = y;
    }
}

QPainterPath WavePath(const Layout& l) {
    QPainterPath path;
    const int steps = (l.waveRight - l.waveLeft) * 2;
    for (int i = 0; i <= steps; ++i) {
        const double u = double(i) / steps;
        const QPointF point(l.waveLeft + u * (l.waveRight - l.waveLeft) + 0.5, l.WaveY(u) + 0.5);
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    return path;
}

QLinearGradient WaveGradient(const Layout& l) {
    QLinearGradient gradient(l.waveLeft, 0, l.waveRight, 0);
    gradient.setColorAt(0, WaveStart);
    gradient.setColorAt(0.5, WaveMiddle);
    gradient.setColorAt(1, WaveEnd);
    return gradient;
}

QImage Draw(const Layout& l) {
    QImage image(l.size, l.size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, l.Smooth());
    painter.setPen(Qt::NoPen);
    painter.setBrush(TileGradient(l.size));
    if (l.Smooth()) {
        painter.drawRoundedRect(QRectF(0, 0, l.size, l.size), l.corner, l.corner);
    } else {
        // Corners cut in whole pixels: a staircase whose steps follow the radius.
        painter.drawRect(0, 0, l.size, l.size);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        for (int row = 0; row < l.corner; ++row) {
            const double dy = l.corner - row - 0.5;
            const int cut = int(std::lround(l.corner - std::sqrt(std::max(0.0, l.corner * l.corner - dy * dy))));
            for (const int y : {row, l.size - 1 - row}) {
                painter.fillRect(0, y, cut, 1, Qt::transparent);
                painter.fillRect(l.size - cut, y, cut, 1, Qt::transparent);
            }
        }
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    // Keys: a dark bed shows through the gaps.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect bed = l.White(KeyC).united(l.White(KeyG));
    painter.fillRect(bed, KeyBed);
    for (int key = 0; key < WhiteKeyCount; ++key) painter.fillRect(l.White(key), WhiteKey);
    for (int key = 0; key < WhiteKeyCount - 1; ++key)
        if (BlackAfter[key]) painter.fillRect(l.Black(key), BlackKey);

    if (l.Smooth()) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.strokePath(WavePath(l), QPen(QBrush(WaveGradient(l)), l.thickness, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        painter.end();
        PixelWave(image, l);
    }
    return image;
}

QString Svg(const Layout& l) {
    QString text;
    QTextStream out(&text);
    const auto rgb = [](const QColor& c) { return c.name(); };
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << l.size << "\" height=\"" << l.size
        << "\" viewBox=\"0 0 " << l.size << ' ' << l.size << "\">\n"
        << "  <defs>\n"
        << "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
        << "<stop offset=\"0\" stop-color=\"" << rgb(TileTop) << "\"/>"
        << "<stop offset=\"1\" stop-color=\"" << rgb(TileBottom) << "\"/></linearGradient>\n"
        << "    <linearGradient id=\"wave\" gradientUnits=\"userSpaceOnUse\" x1=\"" << l.waveLeft << "\" y1=\"0\" x2=\""
        << l.waveRight << "\" y2=\"0\">"
        << "<stop offset=\"0\" stop-color=\"" << rgb(WaveStart) << "\"/>"
        << "<stop offset=\"0.5\" stop-color=\"" << rgb(WaveMiddle) << "\"/>"
        << "<stop offset=\"1\" stop-color=\"" << rgb(WaveEnd) << "\"/></linearGradient>\n"
        << "  </defs>\n"
        << "  <rect width=\"" << l.size << "\" height=\"" << l.size << "\" rx=\"" << l.corner
        << "\" fill=\"url(#tile)\"/>\n";
    const auto rect = [&](const QRect& r, const QColor& c) {
        out << "  <rect x=\"" << r.x() << "\" y=\"" << r.y() << "\" width=\"" << r.width() << "\" height=\""
            << r.height() << "\" fill=\"" << rgb(c) << "\"/>\n";
    };
    rect(l.White(KeyC).united(l.White(KeyG)), KeyBed);
    for (int key = 0; key < WhiteKeyCount; ++key) rect(l.White(key), WhiteKey);
    for (int key = 0; key < WhiteKeyCount - 1; ++key)
        if (BlackAfter[key]) rect(l.Black(key), BlackKey);

    QString points;
    const QPainterPath wave = WavePath(l);
    for (int i = 0; i < wave.elementCount(); ++i) {
        const QPainterPath::Element e = wave.elementAt(i);
        points += QString::asprintf("%s%.2f,%.2f", i == 0 ? "" : " ", e.x, e.y);
    }
    out << "  <polyline points=\"" << points << "\" fill=\"none\" stroke=\"url(#wave)\" stroke-width=\""
        << l.thickness << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
        << "</svg>\n";
    return text;
}

bool Write(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int arg = 3; arg < argc; ++arg) {
        const int size = std::atoi(argv[arg]);
        if (size < 16) {
            std::fprintf(stderr, "%s: no icon layout for size %s\n", argv[0], argv[arg]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString path = folder + '/' + name + ".png";
        if (!QDir().mkpath(folder) || !Draw(Layout(size)).save(path, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(path));
            return 1;
        }
    }
    const QString folder = root + "/scalable/apps";
    const QString path = folder + '/' + name + ".svg";
    if (!QDir().mkpath(folder) || !Write(path, Svg(Layout(SvgSize)))) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(path));
        return 1;
    }
    return 0;
}
