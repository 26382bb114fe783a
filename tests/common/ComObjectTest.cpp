// The COM object base: the interface table behind QueryInterface, the
// reference count, creation failures and the module's object count, and the
// exception handler that keeps exceptions from crossing a COM method.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <shlobj.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ComModule.h"
#include "common/ComObject.h"
#include "common/HResult.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "support/TempFolder.h"

using Microsoft::WRL::ComPtr;

namespace {

int g_liveProbes = 0;

enum class Construction { Normal, Throw, OutOfMemory };

// Implements a derived interface with its base reachable through an alias, and
// a second, unrelated interface.
class CProbe : public ComObject<CProbe, IDockingWindow, ComAlias<IOleWindow, IDockingWindow>, IObjectWithSite> {
public:
    explicit CProbe(Construction construction = Construction::Normal)
    {
        if (construction == Construction::Throw) throw std::runtime_error("constructor failed");
        if (construction == Construction::OutOfMemory) throw std::bad_alloc();
        ++g_liveProbes;
    }

    STDMETHODIMP GetWindow(HWND* window) override
    {
        *window = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ShowDW(BOOL) override { return S_OK; }
    STDMETHODIMP CloseDW(DWORD) override { return S_OK; }
    STDMETHODIMP ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return S_OK; }

    STDMETHODIMP SetSite(IUnknown* site) override
    try {
        if (!site) throw std::runtime_error("no site given");
        return S_OK;
    }
    COM_CATCH_RETURN(log_, "SetSite")

    STDMETHODIMP GetSite(REFIID, void** site) override
    try {
        *site = nullptr;
        throw 42;
    }
    COM_CATCH_RETURN(log_, "GetSite")

    LogWriter log_{"CProbe"};

private:
    ~CProbe() override { --g_liveProbes; }
};

ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

class ComObjectTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_liveProbes = 0;
        baseline_ = ComModule::Instance().ObjectCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, g_liveProbes) << "every probe is destroyed by its last Release";
        EXPECT_EQ(baseline_, ComModule::Instance().ObjectCount());
    }
    ULONG baseline_ = 0;
};

TEST_F(ComObjectTest, EveryEntryAnswersAndIUnknownIsOneIdentity)
{
    ComPtr<CProbe> probe;
    ASSERT_EQ(S_OK, CProbe::Create(probe));

    ComPtr<IDockingWindow> docking;
    ComPtr<IOleWindow> window;
    ComPtr<IObjectWithSite> withSite;
    ASSERT_EQ(S_OK, probe.As(&docking));
    ASSERT_EQ(S_OK, probe.As(&window));
    ASSERT_EQ(S_OK, probe.As(&withSite));
    EXPECT_EQ(static_cast<IDockingWindow*>(probe.Get()), docking.Get());
    EXPECT_EQ(static_cast<IOleWindow*>(static_cast<IDockingWindow*>(probe.Get())), window.Get())
        << "the base interface is the derived interface's own part";
    EXPECT_EQ(static_cast<IObjectWithSite*>(probe.Get()), withSite.Get());

    ComPtr<IUnknown> fromDocking, fromWindow, fromSite;
    ASSERT_EQ(S_OK, docking.As(&fromDocking));
    ASSERT_EQ(S_OK, window.As(&fromWindow));
    ASSERT_EQ(S_OK, withSite.As(&fromSite));
    EXPECT_EQ(fromDocking.Get(), fromWindow.Get());
    EXPECT_EQ(fromDocking.Get(), fromSite.Get());
}

TEST_F(ComObjectTest, UnknownInterfaceFailsWithoutChangingTheCount)
{
    ComPtr<IObjectWithSite> probe;
    ASSERT_EQ(S_OK, CProbe::Create(probe));
    const ULONG before = RefCount(probe.Get());

    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_NOINTERFACE, probe->QueryInterface(IID_IPersist, &out));
    EXPECT_EQ(nullptr, out) << "the out pointer is cleared on failure";
    EXPECT_EQ(E_NOINTERFACE, probe->QueryInterface(IID_IDispatch, &out))
        << "no entry derives from IDispatch";
    EXPECT_EQ(E_POINTER, probe->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(before, RefCount(probe.Get()));
}

TEST_F(ComObjectTest, LastReleaseDestroysAndTheModuleCountFollows)
{
    IObjectWithSite* raw = nullptr;
    ASSERT_EQ(S_OK, CProbe::CreateInstance(IID_IObjectWithSite, reinterpret_cast<void**>(&raw)));
    EXPECT_EQ(1, g_liveProbes);
    EXPECT_EQ(baseline_ + 1, ComModule::Instance().ObjectCount());
    EXPECT_EQ(S_FALSE, ComModule::Instance().CanUnloadNow());

    EXPECT_EQ(2u, raw->AddRef());
    EXPECT_EQ(1u, raw->Release());
    EXPECT_EQ(1, g_liveProbes);
    EXPECT_EQ(0u, raw->Release());
    EXPECT_EQ(0, g_liveProbes);
    EXPECT_EQ(baseline_, ComModule::Instance().ObjectCount());
    if (baseline_ == 0) {
        EXPECT_EQ(S_OK, ComModule::Instance().CanUnloadNow());
    }
}

TEST_F(ComObjectTest, FailedCreationLeavesNoObjectBehind)
{
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_NOINTERFACE, CProbe::CreateInstance(IID_IPersist, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, CProbe::CreateInstance(IID_IUnknown, nullptr));

    ComPtr<IUnknown> probe;
    EXPECT_EQ(E_FAIL, CProbe::Create(probe, Construction::Throw));
    EXPECT_EQ(nullptr, probe.Get());
    EXPECT_EQ(E_OUTOFMEMORY, CProbe::Create(probe, Construction::OutOfMemory));
    EXPECT_EQ(nullptr, CProbe::Make<IOleWindow>(Construction::Throw).Get());
    EXPECT_NE(nullptr, CProbe::Make<IOleWindow>().Get());
}

TEST_F(ComObjectTest, ReferenceCountHoldsUnderConcurrentAddRefAndRelease)
{
    ComPtr<IUnknown> probe = CProbe::Make<IUnknown>();
    ASSERT_NE(nullptr, probe.Get());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&probe] {
            for (int i = 0; i < 50000; ++i) {
                probe->AddRef();
                probe->Release();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(1u, RefCount(probe.Get()));
    EXPECT_EQ(1, g_liveProbes);
}

// Log lines of the category, read from the shared log file.
std::vector<std::string> LogLines(const std::wstring& path, const std::string& category)
{
    std::vector<std::string> lines;
    std::string all = vptest::ReadFileBytes(path);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find("\r\n", start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        if (line.compare(0, category.size() + 1, category + "\t") == 0) lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

TEST_F(ComObjectTest, ExceptionInAMethodIsLoggedWithTheWholeAddressAndReturnsFail)
{
    RegKey settings;
    ASSERT_TRUE(settings.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    const DWORD on = 1;
    RegSetValueExW(settings, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));

    ComPtr<CProbe> probe;
    ASSERT_EQ(S_OK, CProbe::Create(probe));
    char category[64];
    std::snprintf(category, sizeof(category), "ComProbe%lu_%lu", GetCurrentProcessId(), GetTickCount());
    probe->log_ = LogWriter(category);
    ASSERT_TRUE(probe->log_.Enabled());

    EXPECT_EQ(E_FAIL, probe->SetSite(nullptr));
    void* site = nullptr;
    EXPECT_EQ(E_FAIL, probe->GetSite(IID_IUnknown, &site));

    char address[40];
    std::snprintf(address, sizeof(address), "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(probe.Get())));
    const std::vector<std::string> lines = LogLines(probe->log_.Path(), category);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::string(category) + "\t- EXCEPTION on SetSite in " + address + ": no site given", lines[0]);
    EXPECT_EQ(std::string(category) + "\t- EXCEPTION on GetSite in " + address, lines[1])
        << "an exception that is no std::exception has no text to add";
}

}  // namespace
