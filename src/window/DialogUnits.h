#pragma once
// Dialog units, as dialog templates give sizes: a horizontal unit is a quarter of the dialog
// font's average character width, a vertical unit an eighth of its height (MapDialogRect).
#include <QFont>
#include <QRect>
#include <QSize>

namespace brevio {

// The font of the dialog templates: "MS Shell Dlg" 8 points, asked for at its Windows pixel size
// (11 pixels at 96 dpi); Qt resolves the family to the system's sans-serif font.
QFont DialogTemplateFont();

class DialogUnits {
public:
    // Base units measured from `font`: the average width of the 52 Latin letters, rounded as
    // Windows rounds it, and the font's height.
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    // MulDiv rounding: to nearest, halves away from zero.
    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QSize ToPixels(const QSize& units) const;
    QRect ToPixels(const QRect& units) const;

private:
    int baseX_;
    int baseY_;
};

}  // namespace brevio
