#include <gtest/gtest.h>
#include <QScreen>
#include <QWidget>

#include "TestHarness.h"
#include "window/CenterWindow.h"

namespace brevio {
namespace {

const QRect kWorkArea(0, 0, 1920, 1040);

TEST(CenteredPosition, OverTheReference) {
    // Centre of (100,100)-(900,700) is (500,400); the dialog is 301 x 201: halves 150 and 100.
    EXPECT_EQ(CenteredPosition(QSize(301, 201), QRect(100, 100, 800, 600), kWorkArea),
              QPoint(350, 300));
    // Odd reference: (100 + 901) / 2 = 500, truncated.
    EXPECT_EQ(CenteredPosition(QSize(300, 200), QRect(100, 100, 801, 601), kWorkArea),
              QPoint(350, 300));
    // Truncation toward zero, not down: (-4 + -1) / 2 = -2 and 5 / 2 = 2, so -4 (flooring gives
    // -5).
    const QRect wide(-2000, -2000, 5000, 5000);
    EXPECT_EQ(CenteredPosition(QSize(5, 5), QRect(-4, -4, 3, 3), wide), QPoint(-4, -4));
}

TEST(CenteredPosition, KeptInsideTheWorkArea) {
    const QSize size(400, 300);
    // Over the left and top edges: pulled in to the work area's left and top.
    EXPECT_EQ(CenteredPosition(size, QRect(-300, -250, 200, 200), kWorkArea), QPoint(0, 0));
    // Past the right and bottom edges: ends at the work area's right and bottom.
    EXPECT_EQ(CenteredPosition(size, QRect(1800, 950, 200, 200), kWorkArea), QPoint(1520, 740));
    // A work area that does not start at 0 (a task bar on the left and top).
    const QRect shifted(60, 40, 1860, 1000);
    EXPECT_EQ(CenteredPosition(size, QRect(0, 0, 100, 100), shifted), QPoint(60, 40));
    EXPECT_EQ(CenteredPosition(size, QRect(1900, 1020, 100, 100), shifted), QPoint(1520, 740));
    // Larger than the work area: the left (top) edge wins.
    EXPECT_EQ(CenteredPosition(QSize(2500, 1200), QRect(0, 0, 1920, 1040), kWorkArea),
              QPoint(0, 0));
    // In the work area itself.
    EXPECT_EQ(CenteredPosition(size, kWorkArea, kWorkArea), QPoint(760, 370));
}

class CenterWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner.setGeometry(200, 150, 600, 400);
        dialog = new QWidget(&owner, Qt::Dialog);
        dialog->resize(201, 101);
    }
    QWidget owner;
    QWidget* dialog = nullptr;  // owned by owner
};

TEST_F(CenterWindowTest, VisibleOwner) {
    owner.show();
    ASSERT_TRUE(test::WaitUntil([&] { return owner.isVisible(); }));
    const QRect frame = owner.frameGeometry();
    const QPoint expected((frame.left() + frame.left() + frame.width()) / 2 - 100,
                          (frame.top() + frame.top() + frame.height()) / 2 - 50);
    EXPECT_EQ(CenterWindow(dialog, &kWorkArea), expected);
    EXPECT_EQ(dialog->pos(), expected);
    EXPECT_EQ(dialog->size(), QSize(201, 101));  // moved, not resized
    EXPECT_FALSE(dialog->isVisible());           // nor shown
}

TEST_F(CenterWindowTest, HiddenMinimisedOrMissingOwnerUsesTheWorkArea) {
    const QPoint inWorkArea(960 - 100, 520 - 50);
    EXPECT_EQ(CenterWindow(dialog, &kWorkArea), inWorkArea);  // owner hidden

    owner.showMinimized();
    ASSERT_TRUE(owner.isMinimized());
    dialog->move(0, 0);
    EXPECT_EQ(CenterWindow(dialog, &kWorkArea), inWorkArea);

    QWidget alone(nullptr, Qt::Dialog);
    alone.resize(201, 101);
    EXPECT_EQ(CenterWindow(&alone, &kWorkArea), inWorkArea);
    EXPECT_EQ(CenterWindow(nullptr, &kWorkArea), QPoint());
}

TEST_F(CenterWindowTest, OwnerNearTheEdgesIsClamped) {
    owner.setGeometry(1700, 900, 300, 200);
    owner.show();
    const QRect area(0, 0, 1920, 1040);
    const QPoint position = CenterWindow(dialog, &area);
    EXPECT_EQ(position.x() + dialog->frameGeometry().width(), 1920);
    EXPECT_EQ(position.y() + dialog->frameGeometry().height(), 1040);
}

TEST_F(CenterWindowTest, ScreenWorkAreaByDefault) {
    // Without an injected area, the screen's available geometry holds the whole dialog.
    const QPoint position = CenterWindow(dialog);
    ASSERT_NE(dialog->screen(), nullptr);
    const QRect available = dialog->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(QRect(position, dialog->frameGeometry().size())));
}

}  // namespace
}  // namespace brevio
