#include "MarkingColours.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace moratutor::ui {
namespace {

constexpr double kLeast = 4.5;

double Luminance(const QColor& colour) {
    const auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor Mix(const QColor& from, const QColor& to, double share) {
    const QColor a = from.toRgb(), b = to.toRgb();
    const auto mix = [share](double x, double y) { return x + (y - x) * share; };
    return QColor::fromRgbF(static_cast<float>(mix(a.redF(), b.redF())), static_cast<float>(mix(a.greenF(), b.greenF())),
                            static_cast<float>(mix(a.blueF(), b.blueF())));
}

// `wanted` where it reads well on `background`, else black or white, whichever reads better.
QColor Readable(const QColor& wanted, const QColor& background) {
    if (ContrastRatio(wanted, background) >= kLeast) return wanted;
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

// `text` faded toward `background` as far as it keeps its contrast.
QColor Muted(const QColor& text, const QColor& background) {
    for (double share = 0.6; share > 0; share -= 0.05) {
        const QColor faded = Mix(text, background, share);
        if (ContrastRatio(faded, background) >= kLeast) return faded;
    }
    return text;
}

Marking On(const QColor& background, const QColor& text) {
    const QColor readable = Readable(text, background);
    return {background, readable, Muted(readable, background)};
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double x = Luminance(a), y = Luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

Marking MarkingOn(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base), text = palette.color(QPalette::Text);
    const bool dark = Luminance(text) > Luminance(base);
    // On a dark palette a light yellow would carry the palette's light text unreadably.
    return On(dark ? QColor(0x5A, 0x47, 0x00) : QColor(0xFF, 0xF1, 0xB8), text);
}

Marking PlainOn(const QPalette& palette) { return On(palette.color(QPalette::Base), palette.color(QPalette::Text)); }

}  // namespace moratutor::ui
