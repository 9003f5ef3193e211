#include "DialogUnits.h"

#include <QFontMetrics>
#include <cstdlib>

namespace brevio {

namespace {

constexpr int kDialogFontPixels = 11;  // 8 points at 96 dpi: MulDiv(8, 96, 72)

// MulDiv(value, numerator, denominator) with its rounding.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    const long long rounded =
        product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(rounded);
}

}  // namespace

QFont DialogTemplateFont() {
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPixelSize(kDialogFontPixels);
    font.setWeight(QFont::Normal);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (width / 26 + 1) / 2;
    baseY_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const {
    return MulDiv(units, baseX_, 4);
}
int DialogUnits::ToPixelsY(int units) const {
    return MulDiv(units, baseY_, 8);
}

QSize DialogUnits::ToPixels(const QSize& units) const {
    return {ToPixelsX(units.width()), ToPixelsY(units.height())};
}

QRect DialogUnits::ToPixels(const QRect& units) const {
    // Edges are converted, not sizes, as MapDialogRect converts a RECT's four coordinates.
    const int left = ToPixelsX(units.x());
    const int top = ToPixelsY(units.y());
    const int right = ToPixelsX(units.x() + units.width());
    const int bottom = ToPixelsY(units.y() + units.height());
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace brevio
