#include <gtest/gtest.h>
#include <QGuiApplication>
#include <thread>

#include "module/CUIMouseCursor.h"
#include "module/CUIWaitCursor.h"

namespace brevio {
namespace {

Qt::CursorShape CurrentShape() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor == nullptr ? Qt::ArrowCursor : cursor->shape();
}

class CursorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr); }
    void TearDown() override {
        // Leave no override behind for the next test, but fail this one if there was one.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        while (QGuiApplication::overrideCursor() != nullptr)
            QGuiApplication::restoreOverrideCursor();
    }
};

TEST_F(CursorTest, TwoChangesRestoreToTheCursorBeforeTheFirst) {
    CUIMouseCursor cursor;
    EXPECT_TRUE(cursor.Change(Qt::WaitCursor));
    EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
    EXPECT_TRUE(cursor.Change(Qt::CrossCursor));
    EXPECT_EQ(CurrentShape(), Qt::CrossCursor);
    cursor.Restore();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    cursor.Restore();  // nothing left to restore
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(CursorTest, KeepsAnOverrideSetByOthers) {
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    {
        CUIMouseCursor cursor;
        cursor.Change(Qt::WaitCursor);
        cursor.Change(Qt::SizeAllCursor);
        EXPECT_EQ(CurrentShape(), Qt::SizeAllCursor);
    }
    EXPECT_EQ(CurrentShape(), Qt::BusyCursor);
    QGuiApplication::restoreOverrideCursor();
}

TEST_F(CursorTest, WaitCursorForItsScope) {
    {
        CUIWaitCursor wait;
        EXPECT_TRUE(wait.IsChanged());
        EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(CursorTest, ChangeOffTheGuiThreadFailsAndTouchesNothing) {
    CUIMouseCursor cursor;
    ASSERT_TRUE(cursor.Change(Qt::WaitCursor));
    bool changed = true;
    std::thread worker([&] {
        changed = cursor.Change(Qt::CrossCursor);
        cursor.Restore();
    });
    worker.join();
    EXPECT_FALSE(changed);
    EXPECT_TRUE(cursor.IsChanged());
    EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
    cursor.Restore();
    EXPECT_FALSE(cursor.IsChanged());
}

}  // namespace
}  // namespace brevio
