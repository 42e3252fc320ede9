// The attachment records over the stand-in AppKit: what Attach records and owns, the
// intact-hierarchy rule of restoration, freed and closed windows, and clean-up.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "platform/appkit/window_exception.h"
#include "platform/sim/appkit/window_system.h"
#include "window-appearance/glass_attach.h"
#include "window-appearance/glass_failure.h"
#include "window-appearance/glass_state.h"
#include "window-appearance/window_call.h"
#include "window-appearance/window_lookup.h"

namespace {

using namespace quorvantel;
using namespace quorvantel::window_appearance;
using appkit::NSRect;

constexpr appkit::NSWindowStyleMask kFullSize = appkit::NSWindowStyleMaskFullSizeContentView;

class GlassStateTest : public ::testing::Test {
protected:
    std::shared_ptr<sim::SimWindow> openWindow(sim::WindowOptions options = {}) { return system.createWindow(options); }

    std::shared_ptr<appkit::NSView> glassOf(const std::shared_ptr<sim::SimWindow>& window) {
        return state->recordFor(*window)->glass;
    }

    sim::WindowSystem system;
    std::shared_ptr<QVGlassState> state = QVGlassState::create(system.services());
};

TEST_F(GlassStateTest, AttachRecordsTheOriginalsBeforeChangingThem) {
    auto window = openWindow({640, 480, sim::kDefaultWindowStyleMask, false});
    auto original = window->contentView();
    original->setAutoresizingMask(appkit::NSViewMinXMargin);
    window->resize(700, 500);
    Attach(*state, window, GlassStyle::clear);

    auto record = state->recordFor(*window);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->window.lock(), window);
    EXPECT_EQ(record->original, original);
    EXPECT_EQ(record->originalFrame, (NSRect{0, 0, 700, 500}));
    EXPECT_EQ(record->originalWindowFrame, (NSRect{0, 0, 700, 500}));
    EXPECT_EQ(record->originalAutoresizingMask, appkit::NSViewMinXMargin);
    EXPECT_EQ(record->originalStyleMask, sim::kDefaultWindowStyleMask);
    EXPECT_FALSE(record->originalTitlebarAppearsTransparent);
    EXPECT_EQ(record->style, "clear");
    EXPECT_NE(record->closeObserver, nullptr);
    EXPECT_EQ(record->glass->frame(), (NSRect{0, 0, 700, 500}));
    EXPECT_EQ(record->glass->autoresizingMask(), kGlassAutoresizingMask);
    EXPECT_EQ(record->glass->cornerRadius(), kGlassCornerRadius);
    EXPECT_EQ(record->glass->style(), appkit::NSGlassEffectViewStyle::clear);
    EXPECT_EQ(record->glass->contentView(), original);
    EXPECT_EQ(window->contentView(), std::shared_ptr<appkit::NSView>(record->glass));
    EXPECT_EQ(original->frame(), record->glass->bounds());
    EXPECT_EQ(state->recordCount(), 1u);
}

TEST_F(GlassStateTest, AttachOwnsOnlyTheSettingsThatWereOff) {
    struct Case {
        appkit::NSWindowStyleMask styleMask;
        bool transparent;
        bool ownsFullSize;
        bool ownsTitlebar;
    };
    const Case cases[] = {
        {sim::kDefaultWindowStyleMask, false, true, true},
        {sim::kDefaultWindowStyleMask | kFullSize, false, false, true},
        {sim::kDefaultWindowStyleMask, true, true, false},
        {sim::kDefaultWindowStyleMask | kFullSize, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style mask " << c.styleMask << ", transparent " << c.transparent);
        auto window = openWindow({800, 600, c.styleMask, c.transparent});
        Attach(*state, window, GlassStyle::regular);
        auto record = state->recordFor(*window);
        EXPECT_EQ(record->ownsFullSizeContentBit, c.ownsFullSize);
        EXPECT_EQ(record->ownsTransparentTitlebar, c.ownsTitlebar);
        EXPECT_EQ(window->styleMask(), c.styleMask | kFullSize);
        EXPECT_TRUE(window->titlebarAppearsTransparent());
        EXPECT_TRUE(state->removeRecord(record, true));
        EXPECT_EQ(window->styleMask(), c.styleMask);
        EXPECT_EQ(window->titlebarAppearsTransparent(), c.transparent);
    }
}

TEST_F(GlassStateTest, RestoringThePresentationTwiceChangesNothingTheSecondTime) {
    auto window = openWindow();
    Attach(*state, window, GlassStyle::regular);
    auto record = state->recordFor(*window);
    RestoreWindowPresentation(*record, *window);
    EXPECT_EQ(window->styleMask(), sim::kDefaultWindowStyleMask);
    EXPECT_FALSE(window->titlebarAppearsTransparent());
    // The host turns both on for itself; they are its own now.
    window->setStyleMask(window->styleMask() | kFullSize);
    window->setTitlebarAppearsTransparent(true);
    RestoreWindowPresentation(*record, *window);
    EXPECT_EQ(window->styleMask(), sim::kDefaultWindowStyleMask | kFullSize);
    EXPECT_TRUE(window->titlebarAppearsTransparent());
}

TEST_F(GlassStateTest, RemovingNoRecordSucceeds) {
    EXPECT_TRUE(state->removeRecord(nullptr, true));
    EXPECT_TRUE(state->removeRecord(nullptr, false));
}

TEST_F(GlassStateTest, RestorationFollowsTheIntactHierarchyRule) {
    struct Case {
        const char* name;
        // Rearranges the views of an attached window as some other code might.
        void (*rearrange)(sim::WindowSystem&, appkit::NSGlassEffectView&, const std::shared_ptr<sim::SimView>& original);
        bool restored;
    };
    const Case cases[] = {
        {"untouched", [](sim::WindowSystem&, appkit::NSGlassEffectView&, const std::shared_ptr<sim::SimView>&) {}, true},
        {"glass emptied, original nowhere",
         [](sim::WindowSystem&, appkit::NSGlassEffectView& glass, const std::shared_ptr<sim::SimView>&) {
             glass.setContentView(nullptr);
         },
         true},
        {"glass emptied, original moved elsewhere",
         [](sim::WindowSystem& system, appkit::NSGlassEffectView& glass, const std::shared_ptr<sim::SimView>& original) {
             glass.setContentView(nullptr);
             auto elsewhere = system.createWindow({});
             elsewhere->simContentView()->addSubview(original);
         },
         false},
        {"glass holding another view",
         [](sim::WindowSystem& system, appkit::NSGlassEffectView& glass, const std::shared_ptr<sim::SimView>&) {
             auto other = system.createWindow({});
             glass.setContentView(other->contentView());
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = openWindow();
        auto original = window->simContentView();
        Attach(*state, window, GlassStyle::regular);
        auto record = state->recordFor(*window);
        c.rearrange(system, *record->glass, original);
        const auto observers = system.notificationCenter().observerCount();

        EXPECT_EQ(state->removeRecord(record, true), c.restored);
        EXPECT_EQ(state->recordFor(*window), nullptr);
        EXPECT_EQ(system.notificationCenter().observerCount(), observers - 1);
        if (c.restored) {
            EXPECT_EQ(window->contentView(), std::shared_ptr<appkit::NSView>(original));
            EXPECT_EQ(original->autoresizingMask(), appkit::NSViewNotSizable);
            EXPECT_EQ(window->styleMask(), sim::kDefaultWindowStyleMask);
        } else {
            // Someone else's arrangement is left exactly as they made it.
            EXPECT_EQ(window->contentView(), std::shared_ptr<appkit::NSView>(record->glass));
            EXPECT_EQ(window->styleMask(), sim::kDefaultWindowStyleMask | kFullSize);
            EXPECT_TRUE(window->titlebarAppearsTransparent());
        }
    }
}

TEST_F(GlassStateTest, TheOriginalPutBackByTheHostGetsItsSettingsBack) {
    auto window = openWindow();
    auto original = window->simContentView();
    Attach(*state, window, GlassStyle::regular);
    auto record = state->recordFor(*window);
    record->glass->setContentView(nullptr);
    window->setContentView(original);
    EXPECT_TRUE(state->removeRecord(record, true));
    EXPECT_EQ(window->styleMask(), sim::kDefaultWindowStyleMask);
    EXPECT_FALSE(window->titlebarAppearsTransparent());
    EXPECT_EQ(original->autoresizingMask(), appkit::NSViewNotSizable);
}

TEST_F(GlassStateTest, RestorationGrowsTheContentByTheWindowsResize) {
    auto window = openWindow({800, 600});
    auto original = window->simContentView();
    Attach(*state, window, GlassStyle::regular);
    window->resize(900, 650);
    // Wherever the view sits inside the glass by then, it gets its original frame
    // grown by the resize.
    original->applyFrame({5, 7, 890, 640});
    ASSERT_TRUE(state->removeRecord(state->recordFor(*window), true));
    EXPECT_EQ(original->frame(), (NSRect{0, 0, 900, 650}));
}

TEST_F(GlassStateTest, AnOlderSystemNeverUnwrapsTheGlass) {
    auto window = openWindow();
    Attach(*state, window, GlassStyle::regular);
    auto record = state->recordFor(*window);
    system.systemVersion().majorVersion = 25;
    EXPECT_FALSE(state->removeRecord(record, true));
    EXPECT_EQ(state->recordCount(), 0u);
    EXPECT_EQ(window->contentView(), std::shared_ptr<appkit::NSView>(record->glass));
}

TEST_F(GlassStateTest, ARecordWhoseWindowWasFreedIsRemovedWithoutTouchingAnything) {
    auto window = sim::SimWindow::create({}, 99, std::make_shared<sim::WindowFaults>());
    auto original = window->simContentView();
    Attach(*state, window, GlassStyle::regular);
    auto record = state->recordFor(*window);
    window.reset();
    ASSERT_TRUE(record->window.expired());
    EXPECT_TRUE(state->removeRecord(record, true));
    EXPECT_EQ(state->recordCount(), 0u);
    EXPECT_EQ(system.notificationCenter().observerCount(), 0u);
    EXPECT_EQ(original->autoresizingMask(), kGlassAutoresizingMask);
}

TEST_F(GlassStateTest, ClosingTheWindowRemovesAndRestoresItsRecord) {
    auto kept = openWindow();
    auto closing = openWindow();
    auto original = closing->simContentView();
    Attach(*state, kept, GlassStyle::regular);
    Attach(*state, closing, GlassStyle::regular);
    system.closeWindow(closing);
    EXPECT_EQ(state->recordCount(), 1u);
    EXPECT_NE(state->recordFor(*kept), nullptr);
    EXPECT_EQ(closing->contentView(), std::shared_ptr<appkit::NSView>(original));
    EXPECT_EQ(closing->styleMask(), sim::kDefaultWindowStyleMask);
    EXPECT_EQ(system.notificationCenter().observerCount(), 1u);
}

TEST_F(GlassStateTest, ACloseAfterTheStateIsGoneTouchesNothing) {
    auto window = openWindow();
    Attach(*state, window, GlassStyle::regular);
    auto glass = glassOf(window);
    state.reset();
    system.closeWindow(window);
    EXPECT_EQ(window->contentView(), glass);
}

TEST_F(GlassStateTest, AttachOverARearrangedHierarchyRefusesAndKeepsTheRecord) {
    auto window = openWindow();
    Attach(*state, window, GlassStyle::regular);
    auto record = state->recordFor(*window);
    record->glass->setContentView(nullptr);
    try {
        Attach(*state, window, GlassStyle::clear);
        FAIL() << "attach went ahead";
    } catch (const GlassFailure& failure) {
        EXPECT_EQ(failure.kind(), FailureKind::error);
        EXPECT_STREQ(failure.message(), kHierarchyChangedRefusingMessage);
    }
    EXPECT_EQ(state->recordFor(*window), record);
    EXPECT_EQ(record->style, "regular");
    EXPECT_EQ(record->glass->style(), appkit::NSGlassEffectViewStyle::regular);
}

TEST_F(GlassStateTest, CleanupRestoresEveryWindow) {
    auto first = openWindow();
    auto second = openWindow({500, 300, sim::kDefaultWindowStyleMask | kFullSize, true});
    auto firstOriginal = first->contentView();
    auto secondOriginal = second->contentView();
    Attach(*state, first, GlassStyle::regular);
    Attach(*state, second, GlassStyle::clear);
    state->cleanup();
    EXPECT_EQ(state->recordCount(), 0u);
    EXPECT_EQ(first->contentView(), firstOriginal);
    EXPECT_EQ(second->contentView(), secondOriginal);
    EXPECT_EQ(first->styleMask(), sim::kDefaultWindowStyleMask);
    EXPECT_EQ(second->styleMask(), sim::kDefaultWindowStyleMask | kFullSize);
    EXPECT_TRUE(second->titlebarAppearsTransparent());
    EXPECT_EQ(system.notificationCenter().observerCount(), 0u);
}

TEST_F(GlassStateTest, CleanupGoesOnPastAWindowThatRaisesAndReportsTheRaise) {
    auto first = openWindow();
    auto second = openWindow();
    auto third = openWindow();
    for (const auto& window : {first, second, third}) Attach(*state, window, GlassStyle::regular);
    system.faults().add("NSWindow setContentView:", 0, "NSCleanupException");
    try {
        state->cleanup();
        FAIL() << "the raise was swallowed";
    } catch (const appkit::NSException& exception) {
        EXPECT_EQ(exception.name(), "NSCleanupException");
    }
    EXPECT_EQ(state->recordCount(), 0u);
    int restored = 0;
    for (const auto& window : {first, second, third}) restored += window->contentView()->className() == "NSView";
    EXPECT_EQ(restored, 2);
}

TEST_F(GlassStateTest, CleanupOffTheMainThreadWaitsForTheMainQueue) {
    auto window = openWindow();
    auto original = window->contentView();
    Attach(*state, window, GlassStyle::regular);
    std::thread other([state = state] { cleanUpState(state); });
    other.join();
    EXPECT_EQ(state->recordCount(), 1u);
    ASSERT_EQ(system.mainQueue().pendingCount(), 1u);
    // The hook's reference is gone; the queued work keeps the state alive.
    std::weak_ptr<QVGlassState> weak = state;
    state.reset();
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(system.mainQueue().runPending(), 1u);
    EXPECT_EQ(window->contentView(), original);
}

TEST_F(GlassStateTest, CleanupOnTheMainThreadRunsAtOnce) {
    auto window = openWindow();
    auto original = window->contentView();
    Attach(*state, window, GlassStyle::regular);
    cleanUpState(state);
    EXPECT_EQ(system.mainQueue().pendingCount(), 0u);
    EXPECT_EQ(window->contentView(), original);
}

TEST_F(GlassStateTest, CallsAreRefusedOffTheMainThread) {
    EXPECT_NO_THROW(requireMainThread());
    std::string message;
    FailureKind kind = FailureKind::typeError;
    std::thread other([&] {
        try {
            requireMainThread();
        } catch (const GlassFailure& failure) {
            message = failure.message();
            kind = failure.kind();
        }
    });
    other.join();
    EXPECT_EQ(message, kCallOffMainThreadMessage);
    EXPECT_EQ(kind, FailureKind::error);
}

TEST_F(GlassStateTest, TheLookupSkipsWindowsWithoutContentAndTakesTheFirstMatch) {
    auto empty = openWindow();
    auto first = openWindow();
    auto second = openWindow();
    auto view = first->simContentView();
    empty->adoptContentView(nullptr);
    Attach(*state, first, GlassStyle::regular);
    // The host moves the wrapped view out into another window: both windows now
    // claim the handle, and the first in the application's order wins.
    second->adoptContentView(view);
    const auto handle = appkit::objectIdentity(static_cast<const appkit::NSView*>(view.get()));
    EXPECT_EQ(findWindow(*state, handle), first);
    state->removeRecord(state->recordFor(*first), false);
    EXPECT_EQ(findWindow(*state, handle), second);
    EXPECT_EQ(findWindow(*state, 0x10), nullptr);
}

}  // namespace
