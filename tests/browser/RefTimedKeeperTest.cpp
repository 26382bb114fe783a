// The browser window keeper on real top-level windows of the test process:
// holds keep a closed window hidden until the last one goes, a later
// subclasser is never cut out, and windows of other processes are refused.
#include <windows.h>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "browser/RefTimedKeeper.h"
#include "common/ComModule.h"

namespace {

int g_closes = 0;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) ++g_closes;
    return DefWindowProcW(window, message, wParam, lParam);
}

WNDPROC g_chained = nullptr;
int g_chainedMessages = 0;

LRESULT CALLBACK LaterSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_chainedMessages;
    return CallWindowProcW(g_chained, window, message, wParam, lParam);
}

class KeeperTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_closes = 0;
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrameProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VpKeeperTestFrame";
        RegisterClassW(&wc);
        frame_ = CreateWindowExW(0, wc.lpszClassName, L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, frame_);
        locks_ = ComModule::Instance().LockCount();
    }
    void TearDown() override
    {
        if (IsWindow(frame_)) DestroyWindow(frame_);
        vptest::PumpMessages();
    }
    WNDPROC Proc() const { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(frame_, GWLP_WNDPROC)); }
    void Close() { SendMessageW(frame_, WM_SYSCOMMAND, SC_CLOSE | 0x2, 0); }

    HWND frame_ = nullptr;
    ULONG locks_ = 0;
};

TEST_F(KeeperTest, CloseOnlyHidesUntilTheLastHoldGoesThenTheWindowCloses)
{
    ASSERT_TRUE(RefTimedKeeper::AddRef(frame_));
    ASSERT_TRUE(RefTimedKeeper::AddRef(frame_));
    EXPECT_NE(&FrameProc, Proc());
    EXPECT_EQ(locks_ + 1, ComModule::Instance().LockCount());
    RefTimedKeeper::Release(frame_);
    vptest::PumpMessages();
    EXPECT_EQ(1, RefTimedKeeper::Count(frame_));
    EXPECT_NE(&FrameProc, Proc());

    // A close command with its low bits set still counts as one.
    Close();
    EXPECT_EQ(0, g_closes);
    EXPECT_TRUE(IsWindow(frame_));
    EXPECT_FALSE(IsWindowVisible(frame_));

    RefTimedKeeper::Release(frame_);
    vptest::PumpMessages();
    EXPECT_EQ(1, g_closes);
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_EQ(locks_, ComModule::Instance().LockCount());
}

TEST_F(KeeperTest, VisibleWindowAtZeroIsRestoredAndLeftOpen)
{
    ASSERT_TRUE(RefTimedKeeper::AddRef(frame_));
    RefTimedKeeper::Release(frame_);
    // A hold taken before the window's thread handles the last release is not lost.
    ASSERT_TRUE(RefTimedKeeper::AddRef(frame_));
    vptest::PumpMessages();
    EXPECT_EQ(1, RefTimedKeeper::Count(frame_));
    EXPECT_NE(&FrameProc, Proc());

    RefTimedKeeper::Release(frame_);
    vptest::PumpMessages();
    EXPECT_EQ(&FrameProc, Proc());
    EXPECT_TRUE(IsWindowVisible(frame_));
    EXPECT_EQ(0, g_closes);
    // A release without hold changes nothing.
    RefTimedKeeper::Release(frame_);
    vptest::PumpMessages();
    EXPECT_EQ(&FrameProc, Proc());
    EXPECT_EQ(locks_, ComModule::Instance().LockCount());
}

TEST_F(KeeperTest, LaterSubclasserStaysInTheChainAndTheModuleStaysLocked)
{
    ASSERT_TRUE(RefTimedKeeper::AddRef(frame_));
    g_chained = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(frame_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclassProc)));
    RefTimedKeeper::Release(frame_);
    vptest::PumpMessages();
    EXPECT_EQ(&LaterSubclassProc, Proc());
    EXPECT_EQ(locks_ + 1, ComModule::Instance().LockCount());
    EXPECT_TRUE(IsWindowVisible(frame_));
    // Without holds the keeper only passes messages on: a close closes.
    g_chainedMessages = 0;
    Close();
    EXPECT_EQ(1, g_closes);
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_GT(g_chainedMessages, 0);
}

TEST_F(KeeperTest, WindowsOfOtherProcessesAndDeadHandlesAreRefused)
{
    HWND desktop = GetDesktopWindow();
    DWORD process = 0;
    GetWindowThreadProcessId(desktop, &process);
    if (process != GetCurrentProcessId()) {
        const LONG_PTR before = GetWindowLongPtrW(desktop, GWLP_WNDPROC);
        EXPECT_FALSE(RefTimedKeeper::AddRef(desktop));
        EXPECT_EQ(before, GetWindowLongPtrW(desktop, GWLP_WNDPROC));
    }
    // A hold comes only through the product's calls: a message that any
    // program can post to the window adds none.
    ASSERT_TRUE(RefTimedKeeper::AddRef(frame_));
    SendMessageW(frame_, 1801, 0, 0);
    EXPECT_EQ(1, RefTimedKeeper::Count(frame_));
    RefTimedKeeper::Release(frame_);
    vptest::PumpMessages();
    EXPECT_EQ(0, RefTimedKeeper::Count(frame_));

    HWND gone = frame_;
    DestroyWindow(frame_);
    EXPECT_FALSE(RefTimedKeeper::AddRef(gone));
    EXPECT_EQ(locks_, ComModule::Instance().LockCount());
}

}  // namespace
