// The upload thread: an upload started from one thread runs on another,
// reports back into the starting thread's apartment through marshalled
// interfaces, runs beside another upload, and frees everything when it ends.
#include <windows.h>
#include <mshtml.h>
#include <oleauto.h>

#include <memory>

#include <gtest/gtest.h>

#include "common/ComModule.h"
#include "engine/FileUploadStrategy.h"
#include "engine/ImageTarget.h"
#include "engine/ImageUploadThead.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"
#include "support/DevService.h"
#include "support/Registration.h"
#include "support/TempFolder.h"
#include "support/UploadLoop.h"
#include "support/UploadTestStrategy.h"

namespace {

using Microsoft::WRL::ComPtr;
const DWORD kTimeoutMs = 60000;

// Signals its event when the upload thread deletes it.
struct EndSignal : ImageTarget {
    HANDLE event;
    DWORD* deletedOn;
    EndSignal(HANDLE e, DWORD* thread) : event(e), deletedOn(thread) {}
    ~EndSignal() override
    {
        *deletedOn = GetCurrentThreadId();
        SetEvent(event);
    }
};

std::unique_ptr<CUploadStrategy> OneFile(const std::wstring& path)
{
    auto strategy = std::make_unique<CFileUploadStrategy>();
    VARIANT item, none;
    VariantInit(&item);
    VariantInit(&none);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = SysAllocString(path.c_str());
    EXPECT_EQ(0, strategy->Initialize(item, none, none, none));
    VariantClear(&item);
    return strategy;
}

class UploadThreadTest : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // Marshalling the toolbar interface needs the registered type library.
        ASSERT_EQ(0u, vptest::RunRegsvr32(L"/s", vptest::ToolbarLibraryPath()));
        ASSERT_TRUE(service_.Available());
        service_.Reset();
        service_.PointToolbarHere();
    }
    void TearDown() override { CoUninitialize(); }

    // Waits for the event while serving this apartment's incoming calls.
    static bool WaitServing(HANDLE event)
    {
        DWORD deadline = GetTickCount() + kTimeoutMs;
        for (;;) {
            DWORD now = GetTickCount();
            if (static_cast<LONG>(deadline - now) <= 0) return false;
            DWORD woke = MsgWaitForMultipleObjects(1, &event, FALSE, deadline - now, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0) return true;
            if (woke != WAIT_OBJECT_0 + 1) return false;
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    vptest::DevService service_;
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
};

TEST_F(UploadThreadTest, ReportsToTheToolbarAndTheElementOfTheStartingApartment)
{
    std::wstring path = folder_.Write(L"thread.swf", std::string(3000, 't'));
    auto toolbar = vptest::BrowserStockBar::Make();
    auto element = vptest::BrowserElement::Create(L"textarea");
    element->innerText = L"before";
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD deletedOn = 0;

    auto* thread = new CImageUploadThead;
    ASSERT_EQ(S_OK, thread->SetToolbar(toolbar.Get()));
    HRESULT destination = thread->SetDestination(vptest::Query<IHTMLElement>(*element).Get());
    thread->SetStrategy(OneFile(path));
    thread->SetTarget(std::make_unique<EndSignal>(ended, &deletedOn));
    ASSERT_EQ(S_OK, thread->Start());
    ASSERT_TRUE(WaitServing(ended)) << "the upload thread did not end";
    CloseHandle(ended);

    EXPECT_NE(0u, deletedOn);
    EXPECT_NE(GetCurrentThreadId(), deletedOn) << "the upload runs and ends on a thread of its own";
    ASSERT_EQ(1u, toolbar->history.size());
    ASSERT_EQ(1u, toolbar->pasteData.size());
    for (DWORD calledOn : toolbar->callThreads)
        EXPECT_EQ(GetCurrentThreadId(), calledOn) << "calls reach the toolbar in its own apartment";
    if (SUCCEEDED(destination)) {
        EXPECT_EQ(0u, element->innerText.find(L"before\n<a href=")) << testing::PrintToString(element->innerText);
        EXPECT_EQ(1, element->focusCount);
    } else {
        // The element's interfaces have no marshaller in this prefix (the
        // browser's HTML library is not installed), so it travels nowhere.
        EXPECT_EQ(L"before", element->innerText);
    }
}

TEST_F(UploadThreadTest, NothingToSendEndsTheThreadAndFreesEverything)
{
    ULONG objectsBefore = ComModule::Instance().ObjectCount();
    int destroyed = 0;
    auto strategy = std::make_unique<vptest::UploadTestStrategy>(service_.Url(L"/upload_api.php"), nullptr, 0);
    strategy->destroyed = &destroyed;
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD deletedOn = 0;
    auto* thread = new CImageUploadThead;
    thread->SetStrategy(std::move(strategy));
    thread->SetTarget(std::make_unique<EndSignal>(ended, &deletedOn));
    ASSERT_EQ(S_OK, thread->Start());
    ASSERT_TRUE(WaitServing(ended));
    CloseHandle(ended);
    // The uploader (which owns the strategy) goes after the target.
    for (int i = 0; i < 100 && (destroyed != 1 || ComModule::Instance().ObjectCount() != objectsBefore); ++i)
        vptest::PumpUntil([] { return false; }, 50);
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ(objectsBefore, ComModule::Instance().ObjectCount()) << "no object of the upload is left";
    EXPECT_EQ(0u, service_.Requests().Size());
}

TEST_F(UploadThreadTest, APlainScriptObjectIsNoDestination)
{
    auto window = vptest::BrowserPage::Create();
    auto* thread = new CImageUploadThead;
    ComPtr<IUnknown> scriptObject = vptest::BrowserStockBar::Make();  // answers none of the page interfaces
    EXPECT_EQ(E_INVALIDARG, thread->SetDestination(scriptObject.Get()));
    EXPECT_EQ(E_INVALIDARG, thread->SetDestination(nullptr));
    delete thread;
}

TEST_F(UploadThreadTest, TwoUploadsRunAtTheSameTime)
{
    // The first upload's answer is held back by the service, so its thread
    // is still at work when the second upload starts on a thread of its own.
    service_.ArmFault(L"delay_ms=2000&count=1");
    HANDLE ended[2];
    DWORD deletedOn[2] = {};
    for (int i = 0; i < 2; ++i) {
        ended[i] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        auto* thread = new CImageUploadThead;
        thread->SetStrategy(OneFile(folder_.Write(L"both" + std::to_wstring(i) + L".swf", "x")));
        thread->SetTarget(std::make_unique<EndSignal>(ended[i], &deletedOn[i]));
        ASSERT_EQ(S_OK, thread->Start());
    }
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ended[0], 0)) << "both uploads are under way together";
    for (HANDLE e : ended) {
        EXPECT_TRUE(WaitServing(e));
        CloseHandle(e);
    }
    EXPECT_NE(deletedOn[0], deletedOn[1]) << "two threads";
    EXPECT_NE(GetCurrentThreadId(), deletedOn[0]);
    EXPECT_EQ(2u, service_.Requests().Size());
}

}  // namespace
