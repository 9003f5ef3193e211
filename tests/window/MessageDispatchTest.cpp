#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "TestHarness.h"
#include "window/MessageMap.h"
#include "window/WindowBase.h"

namespace brevio {
namespace {

constexpr uint32_t kMessage = WM_APP + 1;

TEST(MessageMap, OrderFallThroughAndChaining) {
    std::vector<std::string> calls;
    MessageMap further;
    further.Add(kMessage, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        calls.push_back("chained");
        return 3;
    });
    MessageMap map;
    map.Add(kMessage, [&](uint32_t, uintptr_t, intptr_t, bool& handled) -> LRESULT {
        calls.push_back("first");
        handled = false;  // let the next entry see it too
        return 1;
    });
    map.Add(kMessage + 1, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        calls.push_back("other");
        return 9;
    });
    map.Chain(&further);
    map.Add(kMessage, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        calls.push_back("after chain");
        return 4;
    });

    LRESULT result = -1;
    EXPECT_TRUE(map.Dispatch(kMessage, 0, 0, result));
    EXPECT_EQ(result, 3);  // the first handler's value is not kept
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "chained"}));

    calls.clear();
    result = -1;
    EXPECT_FALSE(map.Dispatch(kMessage + 2, 0, 0, result));
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(calls.empty());
}

TEST(MessageMap, CommandsMatchIdAndCode) {
    std::vector<int> calls;
    MessageMap map;
    map.AddCommand(1002, BN_CLICKED, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        calls.push_back(1);
        return 0;
    });
    map.AddCommandId(1003, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        calls.push_back(2);
        return 0;
    });
    map.AddRange(WM_APP + 1, WM_APP + 4, [&](uint32_t m, uintptr_t, intptr_t, bool&) -> LRESULT {
        calls.push_back(static_cast<int>(m - WM_APP) * 10);
        return 0;
    });
    LRESULT r = 0;
    EXPECT_TRUE(map.Dispatch(WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0, r));
    EXPECT_FALSE(map.Dispatch(WM_COMMAND, MAKEWPARAM(1002, 5), 0, r));  // another notification
    EXPECT_TRUE(map.Dispatch(WM_COMMAND, MAKEWPARAM(1003, 5), 0, r));
    EXPECT_FALSE(map.Dispatch(WM_COMMAND, MAKEWPARAM(1004, BN_CLICKED), 0, r));
    EXPECT_FALSE(map.Dispatch(WM_TIMER, 1002, 0, r));  // not a command
    EXPECT_TRUE(map.Dispatch(WM_APP + 4, 0, 0, r));
    EXPECT_FALSE(map.Dispatch(WM_APP + 5, 0, 0, r));
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 40}));
}

// A pane that logs what reaches it.
class LoggingPane : public WindowBase {
public:
    explicit LoggingPane(std::vector<std::string>* log, const std::string& name,
                         QWidget* parent = nullptr)
        : WindowBase(parent), log_(log), name_(name) {
        Messages().Add(WM_DESTROY, [this](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
            Log("WM_DESTROY");
            return 0;
        });
        Messages().Add(WM_NCDESTROY,
                       [this](uint32_t, uintptr_t, intptr_t, bool& handled) -> LRESULT {
                           Log("WM_NCDESTROY");
                           handled = false;
                           return 0;
                       });
    }
    using WindowBase::Messages;
    int finalCalls = 0;
    std::vector<uint32_t> defaults;

protected:
    LRESULT DefaultProcessing(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        defaults.push_back(message);
        return WindowBase::DefaultProcessing(message, wParam, lParam);
    }
    void OnFinalMessage() override {
        ++finalCalls;
        Log("final");
    }
    void Log(const std::string& what) {
        if (log_ != nullptr) log_->push_back(name_ + ":" + what);
    }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

TEST(WindowDispatch, CreatedStateFromCreateToDestroy) {
    std::vector<std::string> log;
    QWidget parent;
    parent.resize(200, 200);
    LoggingPane pane(&log, "pane", &parent);
    LRESULT createResult = 0;
    pane.Messages().Add(WM_CREATE, [&](uint32_t, uintptr_t, intptr_t l, bool&) -> LRESULT {
        log.push_back("WM_CREATE " + std::to_string(l) + (pane.isVisible() ? " shown" : ""));
        return createResult;
    });
    pane.Messages().Add(WM_SIZE, [&](uint32_t, uintptr_t, intptr_t l, bool&) -> LRESULT {
        log.push_back("WM_SIZE " + std::to_string(LOWORD(l)) + "x" + std::to_string(HIWORD(l)));
        return 0;
    });
    pane.Messages().Add(kMessage, [&](uint32_t, uintptr_t w, intptr_t, bool&) -> LRESULT {
        log.push_back("message " + std::to_string(w));
        return 0;
    });
    parent.show();
    // Constructed: no window, not shown with its parent, nothing to post to.
    EXPECT_FALSE(pane.IsWindow());
    EXPECT_FALSE(pane.isVisible());
    EXPECT_FALSE(pane.PostMessage(kMessage));
    EXPECT_EQ(pane.SendMessage(kMessage), 0);

    // WM_CREATE returning -1 fails the creation and destroys what was begun.
    createResult = -1;
    EXPECT_FALSE(pane.Create(&parent, QRect(5, 6, 70, 30), 42));
    EXPECT_FALSE(pane.IsWindow());
    EXPECT_FALSE(pane.isVisible());
    EXPECT_EQ(log, (std::vector<std::string>{"WM_CREATE 42", "pane:WM_DESTROY", "pane:WM_NCDESTROY",
                                             "pane:final"}));

    log.clear();
    createResult = 0;
    ASSERT_TRUE(pane.Create(&parent, QRect(5, 6, 70, 30)));
    EXPECT_TRUE(pane.IsWindow());
    EXPECT_TRUE(pane.isVisible());
    EXPECT_EQ(pane.geometry(), QRect(5, 6, 70, 30));
    EXPECT_FALSE(pane.Create(&parent, QRect()));  // it exists already
    EXPECT_EQ(log, (std::vector<std::string>{"WM_CREATE 0", "WM_SIZE 70x30"}));
    pane.resize(80, 31);
    EXPECT_EQ(log.back(), "WM_SIZE 80x31");

    // A message posted to the first window does not reach the next one.
    const WindowHandle first = pane.Handle();
    EXPECT_TRUE(pane.PostMessage(kMessage, 1));
    pane.DestroyWindow();
    ASSERT_TRUE(pane.Create(&parent));
    EXPECT_FALSE(first.IsWindow());
    EXPECT_TRUE(pane.PostMessage(kMessage, 2));
    ASSERT_TRUE(test::WaitUntil([&] { return log.back() == "message 2"; }));
    EXPECT_EQ(std::count(log.begin(), log.end(), "message 1"), 0);
}

TEST(WindowDispatch, PostedMessagesAndFallThroughToDefault) {
    LoggingPane pane(nullptr, "pane");
    ASSERT_TRUE(pane.Create(nullptr, QRect(0, 0, 50, 40)));
    pane.defaults.clear();  // WM_CREATE and WM_SIZE
    std::vector<uintptr_t> seen;
    pane.Messages().Add(kMessage, [&](uint32_t, uintptr_t w, intptr_t, bool& handled) -> LRESULT {
        seen.push_back(w);
        handled = (w != 2);  // wParam 2 falls through to default processing
        return 0;
    });
    EXPECT_TRUE(pane.PostMessage(kMessage, 1));
    EXPECT_TRUE(pane.Handle().PostMessage(kMessage, 2));
    EXPECT_TRUE(pane.PostMessage(kMessage + 7, 3));  // no handler at all
    ASSERT_TRUE(test::WaitUntil([&] { return pane.defaults.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<uintptr_t>{1, 2}));
    EXPECT_EQ(pane.defaults, (std::vector<uint32_t>{kMessage, kMessage + 7}));
    EXPECT_EQ(pane.SendMessage(kMessage, 1), 0);
    EXPECT_EQ(pane.defaults.size(), 2u);
}

TEST(WindowDispatch, DestroyedInsideAHandlerFinalHookWaits) {
    std::vector<std::string> log;
    auto* pane = new LoggingPane(&log, "pane");
    ASSERT_TRUE(pane->Create(nullptr));
    pane->defaults.clear();
    WindowHandle handle = pane->Handle();
    bool stillWindowInside = true;
    bool postInside = true;
    pane->Messages().Add(kMessage, [&](uint32_t, uintptr_t, intptr_t, bool&) -> LRESULT {
        log.push_back("handler begins");
        pane->DestroyWindow();
        stillWindowInside = pane->IsWindow() || handle.IsWindow();
        postInside = handle.PostMessage(kMessage);
        log.push_back("handler ends");
        return 0;
    });
    pane->PostMessage(kMessage);
    ASSERT_TRUE(test::WaitUntil([&] { return pane->finalCalls == 1; }));
    EXPECT_EQ(log, (std::vector<std::string>{"handler begins", "pane:WM_DESTROY",
                                             "pane:WM_NCDESTROY", "handler ends", "pane:final"}));
    EXPECT_FALSE(stillWindowInside);
    EXPECT_FALSE(postInside);
    EXPECT_EQ(pane->defaults, (std::vector<uint32_t>{WM_NCDESTROY}));  // it fell through
    EXPECT_EQ(pane->SendMessage(kMessage), 0);  // a destroyed window takes no more messages
    pane->DestroyWindow();                      // a second destroy does nothing
    EXPECT_EQ(pane->finalCalls, 1);
    delete pane;  // the owner deletes the object after its window is gone
    EXPECT_FALSE(handle.PostMessage(kMessage));
}

TEST(WindowDispatch, ChildWindowsAreDestroyedWithTheirParent) {
    std::vector<std::string> log;
    LoggingPane parent(&log, "parent");
    QWidget container(&parent);  // a plain widget between them
    auto* child = new LoggingPane(&log, "child", &container);
    auto* sibling = new LoggingPane(&log, "sibling", &parent);
    ASSERT_TRUE(parent.Create(nullptr));
    ASSERT_TRUE(child->Create(&container));
    ASSERT_TRUE(sibling->Create(&parent));
    parent.DestroyWindow();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "parent:WM_DESTROY", "child:WM_DESTROY", "child:WM_NCDESTROY", "child:final",
                       "sibling:WM_DESTROY", "sibling:WM_NCDESTROY", "sibling:final",
                       "parent:WM_NCDESTROY", "parent:final"}));
    EXPECT_FALSE(child->IsWindow());
    EXPECT_FALSE(sibling->Handle().IsWindow());
}

TEST(WindowDispatch, TimersArriveAsWmTimer) {
    LoggingPane pane(nullptr, "pane");
    EXPECT_FALSE(pane.SetTimer(4011, 10));  // no window yet, so no timers
    ASSERT_TRUE(pane.Create(nullptr));
    std::vector<uintptr_t> ids;
    pane.Messages().Add(WM_TIMER, [&](uint32_t, uintptr_t id, intptr_t, bool&) -> LRESULT {
        ids.push_back(id);
        if (ids.size() == 3) pane.KillTimer(static_cast<uint32_t>(id));
        return 0;
    });
    EXPECT_TRUE(pane.SetTimer(4011, 10));
    ASSERT_TRUE(test::WaitUntil([&] { return ids.size() == 3; }));
    test::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(ids, (std::vector<uintptr_t>{4011, 4011, 4011}));

    pane.SetTimer(4009, 10);
    pane.DestroyWindow();  // timers die with the window
    EXPECT_FALSE(pane.SetTimer(4010, 10));
    test::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(ids.size(), 3u);
}

}  // namespace
}  // namespace brevio
