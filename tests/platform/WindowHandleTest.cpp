#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QWidget>
#include <atomic>
#include <thread>
#include <vector>

#include "TestHarness.h"
#include "platform/WindowHandle.h"

namespace brevio {
namespace {

struct Received {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    QEvent::Type type;
};

// A window that records the posted messages it receives.
class RecordingWindow : public QWidget {
public:
    RecordingWindow() : handle_(WindowHandle::Attach(this)) {}
    ~RecordingWindow() override { handle_.Detach(); }
    const WindowHandle& handle() const { return handle_; }
    std::vector<Received> received;
    int otherEvents = 0;

protected:
    bool event(QEvent* event) override {
        WindowMessageEvent::AcquirePosted();
        if (auto* message = dynamic_cast<WindowMessageEvent*>(event)) {
            received.push_back(
                {message->message(), message->wParam(), message->lParam(), event->type()});
            return true;
        }
        return QWidget::event(event);
    }

private:
    WindowHandle handle_;
};

TEST(WindowHandle, PostsReachTheWindowInOrder) {
    RecordingWindow window;
    const WindowHandle handle = window.handle();
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(handle.Object(), &window);
    EXPECT_TRUE(PostMessage(handle, 0x8001, 7, -3));
    EXPECT_TRUE(handle.PostMessage(0x8004));
    EXPECT_TRUE(window.received.empty());  // posted, never sent
    ASSERT_TRUE(test::WaitUntil([&] { return window.received.size() == 2; }));
    EXPECT_EQ(window.received[0].message, 0x8001u);
    EXPECT_EQ(window.received[0].wParam, 7u);
    EXPECT_EQ(window.received[0].lParam, -3);
    EXPECT_EQ(window.received[0].type, static_cast<QEvent::Type>(0x8001));
    EXPECT_EQ(window.received[1].message, 0x8004u);
}

TEST(WindowHandle, MessagesOutsideTheUserRangeAreNotQtEvents) {
    RecordingWindow window;
    // 0x000C is QEvent::Paint's number and 0x000E QEvent::Resize's; they must arrive as messages.
    for (uint32_t message : {0x000Cu, 0x000Eu, 0x0010u, 0x10000u}) {
        EXPECT_TRUE(window.handle().PostMessage(message, message));
    }
    ASSERT_TRUE(test::WaitUntil([&] { return window.received.size() == 4; }));
    for (const Received& r : window.received) {
        EXPECT_EQ(r.type, WindowMessageEvent::OtherMessagesType());
        EXPECT_EQ(r.wParam, r.message);
    }
    EXPECT_GE(static_cast<int>(WindowMessageEvent::OtherMessagesType()), QEvent::User);
}

TEST(WindowHandle, NothingHappensOnceTheWindowIsGone) {
    WindowHandle handle;
    EXPECT_TRUE(handle.IsNull());
    EXPECT_FALSE(handle.PostMessage(0x8001));
    {
        RecordingWindow window;
        handle = window.handle();
        EXPECT_TRUE(handle.PostMessage(0x8002));  // still queued when the window goes
    }
    EXPECT_FALSE(handle.IsNull());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(handle.Object(), nullptr);
    EXPECT_FALSE(PostMessage(handle, 0x8001));
    QCoreApplication::processEvents();  // the queued message died with its window
}

// A worker posts as fast as it can while the UI thread destroys the window (run under
// ThreadSanitizer too).
TEST(WindowHandle, WorkerPostingWhileTheWindowIsDestroyed) {
    for (int round = 0; round < 20; ++round) {
        auto* window = new RecordingWindow;
        const WindowHandle handle = window->handle();
        std::atomic<bool> stop{false};
        std::atomic<int> accepted{0};
        std::atomic<int> refusedAfterGone{0};
        std::thread worker([&] {
            while (!stop.load()) {
                if (handle.PostMessage(0x8003, 1, 2)) {
                    accepted.fetch_add(1);
                } else if (!handle.IsWindow()) {
                    refusedAfterGone.fetch_add(1);
                }
            }
        });
        test::WaitUntil([&] { return accepted.load() > 50; }, 2000);
        QCoreApplication::processEvents();
        delete window;
        test::WaitUntil([&] { return refusedAfterGone.load() > 10; }, 2000);
        stop = true;
        worker.join();
        QCoreApplication::processEvents();
        EXPECT_GT(accepted.load(), 0);
        EXPECT_GT(refusedAfterGone.load(), 0);
        EXPECT_FALSE(handle.IsWindow());
    }
}

}  // namespace
}  // namespace brevio
