// The native progress display: the scale over all items, the size and label
// texts, the rate and time left under a fake clock, and the real dialog under
// Wine with its controls, bar, transfer line, Cancel rules and questions.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/TextConvert.h"
#include "engine/DialogProgress.h"
#include "engine/ProgressScale.h"
#include "engine/ProgressText.h"
#include "engine/TransferMeter.h"
#include "resources/resource.h"
#include "support/EngineFakes.h"

namespace {

// --- scale ----------------------------------------------------------------------

UINT UnitsOf(const ProgressScale& scale, int position, int range)
{
    UINT units = 0xDEADBEEF;
    EXPECT_TRUE(scale.Units(position, range, &units)) << position << " of " << range;
    return units;
}

TEST(ProgressScaleTest, PositionsMapOntoTheItemsShareOfTheWholeUpload)
{
    ProgressScale scale;
    EXPECT_EQ(10000u, scale.Range()) << "one item before anything is said";
    EXPECT_EQ(5000u, UnitsOf(scale, 50, 100));

    scale.StartItem(2, 3);
    EXPECT_EQ(30000u, scale.Range());
    EXPECT_EQ(20000u, scale.ItemBase());
    EXPECT_EQ(23333u, UnitsOf(scale, 1, 3)) << "truncated, not rounded";
    // Positions near the 32-bit limit must not overflow on the way.
    EXPECT_EQ(29999u, UnitsOf(scale, 0x7FFFFFFE, 0x7FFFFFFF));
}

TEST(ProgressScaleTest, OnlyPositionsStrictlyInsideTheRangeCount)
{
    ProgressScale scale;
    UINT units = 7;
    EXPECT_FALSE(scale.Units(0, 100, &units));
    EXPECT_FALSE(scale.Units(100, 100, &units));
    EXPECT_FALSE(scale.Units(150, 100, &units));
    EXPECT_FALSE(scale.Units(-5, 100, &units));
    EXPECT_FALSE(scale.Units(1, 0, &units)) << "an empty range divides nothing";
    EXPECT_EQ(7u, units) << "a refused position leaves the output alone";
}

TEST(ProgressScaleTest, AConvertedItemSpendsHalfItsUnitsOnEachStage)
{
    ProgressScale scale;
    scale.StartItem(1, 3);
    scale.BeginConversion();
    EXPECT_EQ(12500u, UnitsOf(scale, 1, 2));
    EXPECT_EQ(15000u, scale.FinishStage()) << "conversion done: the middle of the item";
    EXPECT_EQ(ProgressScale::kUploadingAfterConversion, scale.CurrentStage());
    EXPECT_EQ(16250u, UnitsOf(scale, 1, 4));
    EXPECT_EQ(20000u, scale.FinishStage());

    scale.StartItem(2, 3);
    EXPECT_EQ(ProgressScale::kSingleStage, scale.CurrentStage()) << "a new item starts in the single stage";
    EXPECT_EQ(25000u, UnitsOf(scale, 1, 2));
}

TEST(ProgressScaleTest, AbsurdItemCountsSaturateInsteadOfWrapping)
{
    ProgressScale scale;
    scale.StartItem(500000, 600000);
    EXPECT_EQ(MAXUINT32, scale.Range());
    EXPECT_EQ(MAXUINT32, scale.FinishStage());
    scale.StartItem(-1, 1);
    EXPECT_EQ(0u, scale.ItemBase());
}

// --- texts ----------------------------------------------------------------------

TEST(ProgressTextTest, SizeTextsFromZeroBytesToHundredsOfGigabytes)
{
    const struct {
        ULONGLONG bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L""},
        {1, L"1 B"},
        {1023, L"1023 B"},
        {1024, L"1.0 KB"},
        {1535, L"1.4 KB"},
        {1536, L"1.5 KB"},
        {102399, L"99.9 KB"},
        {102400, L"100 KB"},
        {1048575, L"1023 KB"},
        {1048576, L"1.0 MB"},
        {104857599, L"99.9 MB"},
        {104857600, L"100 MB"},
        {1073741823, L"1023 MB"},
        {1073741824, L"1.0 GB"},
        {107374182399ull, L"99.9 GB"},
        {107374182400ull, L"100 GB"},
        {0xFFFFFFFFFFFFFFFFull, L"17179869183 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, SizeText(c.bytes)) << c.bytes << " bytes";
}

TEST(ProgressTextTest, LabelsNameTheItemOrItsNumber)
{
    const std::wstring uploading = L"Uploading %s", fileOf = L"File %i of %i";
    EXPECT_EQ(L"Uploading a.jpg", ItemLabel(uploading, fileOf, L"a.jpg", 0, 1));
    EXPECT_EQ(L"Uploading File 2 of 5", ItemLabel(uploading, fileOf, L"a.jpg", 1, 5));
    EXPECT_EQ(L"Converting File 1 of 2", ItemLabel(L"Converting %s", fileOf, L"", 0, 2));
    EXPECT_EQ(L"Uploading 100%.jpg", ItemLabel(uploading, fileOf, L"100%.jpg", 0, 1))
        << "a percent sign in a name is text, not a placeholder";

    EXPECT_EQ(L"a.jpg", ItemNameFromPath(L"c:\\pics\\a.jpg"));
    EXPECT_EQ(L"b.png", ItemNameFromPath(L"http://host/x/b.png"));
    EXPECT_EQ(L"b/c.jpg", ItemNameFromPath(L"a\\b/c.jpg")) << "a backslash wins over a later slash";
    EXPECT_EQ(L"plain", ItemNameFromPath(L"plain"));
}

TEST(ProgressTextTest, QuestionsCarryTheirDetailsOnlyWhenThereAreAny)
{
    const std::wstring details = L"\n\nDetails:\n%s";
    EXPECT_EQ(L"Retry?\n\nDetails:\nserver said no", QuestionText(L"Retry?", details, L"server said no"));
    EXPECT_EQ(L"Retry?", QuestionText(L"Retry?", details, L""));
    EXPECT_EQ(L"Retry?", QuestionText(L"Retry?", details, nullptr));
    EXPECT_EQ(L"\n\nDetails:\n%i%s", QuestionText(nullptr, details, L"%i%s"));
}

TEST(ProgressTextTest, PlaceholdersWithoutAMatchingArgumentStayAsWritten)
{
    EXPECT_EQ(L"File %i of %s", FormatText(L"File %i of %s", {L"x"})) << "wrong kind for the first one";
    EXPECT_EQ(L"File 3 of %i", FormatText(L"File %i of %i", {3}));
    EXPECT_EQ(L"50% done %", FormatText(L"50%% done %", {}));
}

// --- rate and time left ---------------------------------------------------------

const TransferTexts kTexts{L"%s of %s", L"%s/s", L"about %i s left", L"about %i min left", L"about %i h left",
                           L"Waiting for the service...", L" \u00B7 "};

// Sends at bytesPerSecond from `from` for ms milliseconds, one report every 50 ms.
ULONGLONG Send(TransferMeter& meter, ULONGLONG from, ULONGLONG total, ULONGLONG bytesPerSecond, ULONGLONG startMs,
               ULONGLONG ms)
{
    for (ULONGLONG t = 0; t <= ms; t += 50) meter.Update(from + bytesPerSecond * t / 1000, total, startMs + t);
    return from + bytesPerSecond * ms / 1000;
}

TEST(TransferMeterTest, RateAndTimeLeftAppearOnceASecondOfSendingWasSeen)
{
    TransferMeter meter;
    EXPECT_EQ(L"", meter.Text(kTexts)) << "nothing before the first report";
    const ULONGLONG total = 4800 * 1024 + 1000;
    Send(meter, 0, total, 350 * 1024, 10000, 900);
    EXPECT_EQ(L"315 KB of 4.6 MB", meter.Text(kTexts)) << "no rate within the first second";
    Send(meter, 0, total, 350 * 1024, 10000, 3000);
    EXPECT_EQ(350u * 1024, meter.BytesPerSecond());
    EXPECT_EQ(L"1.0 MB of 4.6 MB \u00B7 350 KB/s \u00B7 about 10 s left", meter.Text(kTexts));
    meter.Update(total, total, 14000);
    EXPECT_EQ(L"Waiting for the service...", meter.Text(kTexts));
}

TEST(TransferMeterTest, TheRateFollowsTheLastSecondsAndARestartForgetsIt)
{
    TransferMeter meter;
    const ULONGLONG total = 100 * 1024 * 1024;
    ULONGLONG sent = Send(meter, 0, total, 2 * 1024 * 1024, 0, 10000);
    sent = Send(meter, sent, total, 100 * 1024, 10000, 6000);
    EXPECT_NEAR(100.0 * 1024, double(meter.BytesPerSecond()), 2048) << "the fast start has left the window";

    // A stall: the rate falls to nothing and the time left is not guessed.
    for (ULONGLONG t = 16000; t <= 23000; t += 500) meter.Update(sent, total, t);
    ULONGLONG seconds = 0;
    EXPECT_FALSE(meter.SecondsLeft(&seconds));
    EXPECT_EQ(std::wstring::npos, meter.Text(kTexts).find(L"left")) << Narrow(meter.Text(kTexts));

    // The request is sent again from its start: the old figures are gone.
    meter.Update(1024, total, 24000);
    EXPECT_FALSE(meter.RateKnown());
    EXPECT_EQ(L"1.0 KB of 100 MB", meter.Text(kTexts));
}

TEST(TransferMeterTest, TimeLeftIsRoundedTheWayAPersonSaysIt)
{
    const std::pair<ULONGLONG, const wchar_t*> cases[] = {
        {1, L"about 1 s left"},      {7, L"about 7 s left"},      {12, L"about 10 s left"},
        {43, L"about 45 s left"},    {58, L"about 1 min left"},   {125, L"about 2 min left"},
        {5369, L"about 89 min left"}, {6000, L"about 2 h left"}, {4000000000ull, L"about 1111111 h left"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(text, TimeLeftText(seconds, kTexts)) << seconds;
}

// --- the dialog -----------------------------------------------------------------

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

class ProgressDialogTest : public testing::Test {
protected:
    HWND Dialog() { return progress_->GetWindow(); }
    HWND Item(int id) { return GetDlgItem(Dialog(), id); }
    int BarPosition() { return static_cast<int>(SendMessageW(Item(IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0)); }
    int BarRange() { return static_cast<int>(SendMessageW(Item(IDC_PROGRESS_BAR), PBM_GETRANGE, FALSE, 0)); }
    bool CancelEnabled() { return IsWindowEnabled(Item(IDCANCEL)) != FALSE; }
    std::wstring Label() { return TextOf(Item(IDC_PROGRESS_LABEL)); }
    std::wstring Size() { return TextOf(Item(IDC_PROGRESS_SIZE)); }

    vptest::FakeImageUploader uploader_;
    std::unique_ptr<IProgress> progress_{CreateDialogProgress(&uploader_)};
};

TEST_F(ProgressDialogTest, FirstShowCreatesTheDialogWithItsControls)
{
    ASSERT_TRUE(progress_);
    EXPECT_EQ(nullptr, Dialog()) << "no window before it is shown";
    progress_->Show(true);
    ASSERT_NE(nullptr, Dialog());
    EXPECT_TRUE(IsWindowVisible(Dialog()));
    EXPECT_EQ(L"Vellumpost - Image Hosting", TextOf(Dialog()));
    EXPECT_EQ(nullptr, GetWindow(Dialog(), GW_OWNER)) << "modeless and without owner";

    EXPECT_EQ(L"Button", ClassOf(Item(IDCANCEL)));
    EXPECT_EQ(L"Cancel", TextOf(Item(IDCANCEL)));
    EXPECT_EQ(L"Static", ClassOf(Item(IDC_PROGRESS_LABEL)));
    EXPECT_EQ(L"msctls_progress32", ClassOf(Item(IDC_PROGRESS_BAR)));
    EXPECT_EQ(L"Static", ClassOf(Item(IDC_PROGRESS_SIZE)));
    EXPECT_EQ(SS_RIGHT, GetWindowLongW(Item(IDC_PROGRESS_SIZE), GWL_STYLE) & SS_TYPEMASK);

    EXPECT_EQ(L"", Size()) << "the template's sample size is replaced";
    EXPECT_FALSE(CancelEnabled());
    EXPECT_EQ(10000, BarRange());
    EXPECT_EQ(0, BarPosition());
    EXPECT_NE(0, SendMessageW(Dialog(), WM_GETICON, ICON_BIG, 0)) << "the upload icon is the big icon";

    const HWND first = Dialog();
    progress_->Show(false);
    EXPECT_FALSE(IsWindowVisible(first));
    progress_->Show(true);
    EXPECT_EQ(first, Dialog()) << "hiding keeps the window";

    progress_.reset();
    EXPECT_FALSE(IsWindow(first)) << "the display destroys its window";
}

TEST_F(ProgressDialogTest, ItemsLabelsAndSizesReachTheControls)
{
    progress_->SetItemName(L"c:\\pictures\\beach.jpg");
    progress_->Show(true);
    EXPECT_EQ(L"Uploading beach.jpg", Label()) << "a label set before the window exists is shown at start";

    progress_->SetSize(1536);
    EXPECT_EQ(L"1.5 KB", Size());

    progress_->SetItemCount(1, 3);
    EXPECT_EQ(30000, BarRange());
    EXPECT_EQ(10000, BarPosition());
    EXPECT_EQ(L"Uploading File 2 of 3", Label());

    progress_->BeginConversion();
    EXPECT_EQ(L"Converting File 2 of 3", Label());
    progress_->SetProgress(1, 2);
    EXPECT_EQ(12500, BarPosition());
    progress_->FinishStage();
    EXPECT_EQ(15000, BarPosition());
    EXPECT_EQ(L"Uploading File 2 of 3", Label());
    EXPECT_EQ(L"", Size()) << "a finished stage clears the size";

    progress_->SetProgress(1, 4);
    EXPECT_EQ(16250, BarPosition());
    progress_->FinishStage();
    EXPECT_EQ(20000, BarPosition());
}

TEST_F(ProgressDialogTest, TheTransferLineShowsTheRateWhileSendingThenTheWait)
{
    ULONGLONG now = 1000;
    auto* dialog = static_cast<CProgress*>(progress_.get());
    dialog->SetClock([&now] { return now; });
    progress_->Show(true);
    auto line = [this] { return TextOf(Item(IDC_PROGRESS_TRANSFER)); };
    EXPECT_EQ(L"", line());
    RECT label{}, transfer{}, bar{};
    GetWindowRect(Item(IDC_PROGRESS_LABEL), &label);
    GetWindowRect(Item(IDC_PROGRESS_TRANSFER), &transfer);
    GetWindowRect(Item(IDC_PROGRESS_BAR), &bar);
    EXPECT_TRUE(label.bottom <= transfer.top && transfer.bottom <= bar.top) << "between the file line and the bar";

    const ULONGLONG total = 2 * 1024 * 1024;
    for (ULONGLONG sent = 0; sent <= 1024 * 1024; sent += 1024, now += 2) progress_->SetTransferred(sent, total);
    // 500 KB/s since the start, 2298 ms ago.
    now = 3298;
    progress_->SetTransferred(1176576, total);
    EXPECT_EQ(L"1.1 MB of 2.0 MB \u00B7 500 KB/s \u00B7 about 2 s left", line());
    now += 10;
    progress_->SetTransferred(1536 * 1024, total);
    EXPECT_EQ(L"1.1 MB of 2.0 MB \u00B7 500 KB/s \u00B7 about 2 s left", line()) << "not redrawn for every chunk";
    progress_->SetTransferred(total, total);
    EXPECT_EQ(L"Waiting for the service...", line()) << "the wait shows at once";
    progress_->FinishStage();
    EXPECT_EQ(L"", line()) << "an answered item leaves no figures behind";
}

TEST_F(ProgressDialogTest, PositionsOutsideTheRangeAreIgnored)
{
    progress_->Show(true);
    progress_->SetProgress(0, 100);
    progress_->SetProgress(100, 100);
    EXPECT_EQ(0, BarPosition());
    EXPECT_FALSE(CancelEnabled()) << "an ignored report does not offer Cancel";
    progress_->SetProgress(50, 100);
    EXPECT_EQ(5000, BarPosition());
    EXPECT_TRUE(CancelEnabled());
}

TEST_F(ProgressDialogTest, ChunkReportsMoveTheBarOnlyByVisibleSteps)
{
    // One report per 1024-byte chunk of a 1 MB body: redrawing the bar for
    // each of them used to cost more than sending the bytes.
    progress_->Show(true);
    const int range = 1024 * 1024 * 115 / 100;
    progress_->SetProgress(range * 5 / 100, range);
    const int first = BarPosition();
    EXPECT_NEAR(500, first, 1);
    progress_->SetProgress(range * 5 / 100 + 1024, range);
    EXPECT_EQ(first, BarPosition()) << "a change of less than a pixel is not drawn";
    progress_->SetProgress(range * 5 / 100 + 8 * 1024, range);
    EXPECT_GT(BarPosition(), first) << "a visible change is";
    progress_->SetProgress(range - 1, range);
    EXPECT_EQ(9999, BarPosition()) << "the bar still reaches the end";
}

TEST_F(ProgressDialogTest, CancelWorksOnlyWhileBytesAreBeingSent)
{
    progress_->Show(true);
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(0, uploader_.cancelCalls) << "nothing is being sent yet";

    progress_->SetProgress(10, 100);
    ASSERT_TRUE(CancelEnabled());
    SendMessageW(Item(IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(1, uploader_.cancelCalls);
    EXPECT_FALSE(uploader_.lastCancelForce) << "the user's cancel may still be refused";
    EXPECT_TRUE(progress_->IsCanceled()) << "the uploader's word";

    progress_->FinishStage();
    EXPECT_FALSE(CancelEnabled());
    SendMessageW(Dialog(), WM_CLOSE, 0, 0);
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(1, uploader_.cancelCalls) << "between items neither the close box nor Cancel cancels";
    EXPECT_TRUE(IsWindow(Dialog())) << "closing never destroys the display's window";
}

// Answers the first message box of this thread with IDYES and keeps its texts.
struct MessageBoxWatcher {
    static MessageBoxWatcher* current;
    HHOOK hook = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::vector<std::wstring> texts;

    MessageBoxWatcher() : hook(SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId())) { current = this; }
    ~MessageBoxWatcher()
    {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }

    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam)
    {
        MessageBoxWatcher* self = current;
        if (code == HCBT_ACTIVATE && self && self->caption.empty()) {
            HWND box = reinterpret_cast<HWND>(wParam);
            self->caption = TextOf(box);
            self->owner = GetWindow(box, GW_OWNER);
            EnumChildWindows(box, [](HWND child, LPARAM list) -> BOOL {
                if (ClassOf(child) == L"Static") reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(TextOf(child));
                return TRUE;
            }, reinterpret_cast<LPARAM>(&self->texts));
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};
MessageBoxWatcher* MessageBoxWatcher::current = nullptr;

TEST_F(ProgressDialogTest, QuestionsAppendTheirDetailsAndReturnTheAnswer)
{
    progress_->Show(true);
    MessageBoxWatcher watcher;
    const int answer = progress_->ShowError(L"Cannot upload file: a.jpg\nRetry?", L"Upload error...",
                                            MB_YESNOCANCEL | MB_ICONERROR, L"server said no");
    EXPECT_EQ(IDYES, answer);
    EXPECT_EQ(L"Upload error...", watcher.caption);
    EXPECT_EQ(Dialog(), watcher.owner) << "the question belongs to the progress dialog";
    bool found = false;
    for (const auto& text : watcher.texts) found |= text == L"Cannot upload file: a.jpg\nRetry?\n\nDetails:\nserver said no";
    EXPECT_TRUE(found) << testing::PrintToString(watcher.texts);
}

}  // namespace
