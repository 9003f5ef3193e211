#include <gtest/gtest.h>

#include "window/DialogUnits.h"

namespace brevio {
namespace {

TEST(DialogUnits, MapsLikeMapDialogRect) {
    // The base units of 8-point MS Shell Dlg on Windows at 96 dpi.
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.ToPixels(QSize(257, 100)), QSize(386, 163));  // 385.5 and 162.5 round up
    EXPECT_EQ(units.ToPixels(QSize(443, 308)), QSize(665, 501));
    EXPECT_EQ(units.ToPixelsX(-3), -5);  // halves away from zero: -4.5
    EXPECT_EQ(units.ToPixelsX(0), 0);
    // A rectangle converts its edges: (7,7)-(57,21) gives (11,11)-(86,34).
    EXPECT_EQ(units.ToPixels(QRect(7, 7, 50, 14)), QRect(11, 11, 75, 23));
}

TEST(DialogUnits, MeasuredFromTheTemplateFont) {
    const QFont font = DialogTemplateFont();
    EXPECT_EQ(font.pixelSize(), 11);
    const DialogUnits units(font);
    // Any sans-serif font of 11 pixels has letters some 5 to 8 pixels wide on average.
    EXPECT_GE(units.baseX(), 4);
    EXPECT_LE(units.baseX(), 9);
    EXPECT_GE(units.baseY(), 11);
    EXPECT_LE(units.baseY(), 18);
}

}  // namespace
}  // namespace brevio
