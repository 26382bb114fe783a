// The COM module: class objects and the unload decision over a class table,
// LockServer, and registration and unregistration of the table's classes and
// type library, including the toolbar library's own self-registration.
//
// HKEY_CLASSES_ROOT is shared by every test process of the prefix: each test
// makes class identifiers and ProgIDs of its own and removes what it wrote.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DispatchTestLib_h.h"
#include "common/ClassFactory.h"
#include "common/ComModule.h"
#include "common/ComObject.h"
#include "common/ModuleInstance.h"
#include "common/RegKey.h"
#include "support/Registration.h"
#include "VellumpostToolbar_h.h"

using Microsoft::WRL::ComPtr;

namespace {

class CWidget : public ComObject<CWidget, IOleWindow> {
public:
    STDMETHODIMP GetWindow(HWND* window) override
    {
        *window = reinterpret_cast<HWND>(0x5150);
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~CWidget() override = default;
};

using vptest::ClassesKeyExists;
using vptest::GuidText;

// A string value below HKEY_CLASSES_ROOT; "<missing>" when it cannot be read.
std::wstring ClassesValue(const std::wstring& subkey, const wchar_t* name = nullptr)
{
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

std::vector<bool> g_hookCalls;
HRESULT RecordHook(bool registering)
{
    g_hookCalls.push_back(registering);
    return S_OK;
}

// A class table with names no other process uses: a class with one ProgID and
// a class with two.
class ComModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoCreateGuid(&widgetId_));
        ASSERT_EQ(S_OK, CoCreateGuid(&twinId_));
        const std::wstring stem = L"VpComTest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                                  std::to_wstring(GetTickCount());
        widgetProgId_ = stem + L".Widget";
        twinProgId_ = stem + L".Twin";
        twinAliasProgId_ = stem + L".TwinAlias";
        g_hookCalls.clear();
        baseline_ = ComModule::Instance().ObjectCount();
        ComModule::Instance().Initialize(Table());
    }
    void TearDown() override
    {
        ComModule::Instance().Terminate();
        EXPECT_EQ(baseline_, ComModule::Instance().ObjectCount());
        EXPECT_EQ(0u, ComModule::Instance().LockCount());
    }

    std::vector<ComClassEntry> Table() const
    {
        return {
            {&widgetId_, {widgetProgId_.c_str(), nullptr}, L"Widget Class", &CWidget::CreateInstance},
            {&twinId_, {twinProgId_.c_str(), twinAliasProgId_.c_str()}, L"Twin Class", &CWidget::CreateInstance,
             L"Apartment", &RecordHook},
        };
    }

    // Every key that registration of the table writes.
    std::vector<std::wstring> RegisteredKeys() const
    {
        std::vector<std::wstring> keys = {L"CLSID\\" + GuidText(widgetId_), L"CLSID\\" + GuidText(twinId_)};
        for (const std::wstring& progId : {widgetProgId_, twinProgId_, twinAliasProgId_}) {
            keys.push_back(progId);
            keys.push_back(progId + L".1");
        }
        return keys;
    }

    GUID widgetId_ = GUID_NULL, twinId_ = GUID_NULL;
    std::wstring widgetProgId_, twinProgId_, twinAliasProgId_;
    ULONG baseline_ = 0;
};

TEST_F(ComModuleTest, ClassObjectCreatesObjectsAndCountsTowardsUnloading)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, ComModule::Instance().GetClassObject(widgetId_, IID_PPV_ARGS(&factory)));
    EXPECT_EQ(S_FALSE, ComModule::Instance().CanUnloadNow()) << "a held class object keeps the module";

    ComPtr<IOleWindow> widget;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&widget)));
    HWND window = nullptr;
    EXPECT_EQ(S_OK, widget->GetWindow(&window));
    EXPECT_EQ(reinterpret_cast<HWND>(0x5150), window);

    ComPtr<IUnknown> outer;
    ASSERT_EQ(S_OK, widget.As(&outer));
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPersist, &out));
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));

    factory.Reset();
    EXPECT_EQ(S_FALSE, ComModule::Instance().CanUnloadNow()) << "a live object keeps the module";
    widget.Reset();
    outer.Reset();
    if (baseline_ == 0) {
        EXPECT_EQ(S_OK, ComModule::Instance().CanUnloadNow());
    }
}

TEST_F(ComModuleTest, UnknownClassAndMissingOutPointerAreRefused)
{
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, ComModule::Instance().GetClassObject(IID_IPersist, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, ComModule::Instance().GetClassObject(widgetId_, IID_IClassFactory, nullptr));
    EXPECT_EQ(E_NOINTERFACE, ComModule::Instance().GetClassObject(widgetId_, IID_IPersist, &out));
    EXPECT_EQ(baseline_, ComModule::Instance().ObjectCount());
}

TEST_F(ComModuleTest, LockServerKeepsTheModuleAndAnExtraUnlockDoesNotWrap)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, ComModule::Instance().GetClassObject(widgetId_, IID_PPV_ARGS(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, ComModule::Instance().CanUnloadNow()) << "locked with no object alive";

    ASSERT_EQ(S_OK, ComModule::Instance().GetClassObject(widgetId_, IID_PPV_ARGS(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(0u, ComModule::Instance().LockCount());
    if (baseline_ == 0) {
        EXPECT_EQ(S_OK, ComModule::Instance().CanUnloadNow());
    }
}

TEST_F(ComModuleTest, RegistrationWritesEveryKeyAndUnregistrationRemovesThemAll)
{
    ComModule& module = ComModule::Instance();
    module.Initialize(Table(), &LIBID_DispatchTestLib, 2);
    const std::wstring typeLibKey = L"TypeLib\\" + GuidText(LIBID_DispatchTestLib);
    const std::wstring widget = L"CLSID\\" + GuidText(widgetId_);
    const std::wstring twin = L"CLSID\\" + GuidText(twinId_);

    ASSERT_EQ(S_OK, module.RegisterServer());
    EXPECT_EQ(S_OK, module.RegisterServer()) << "registering again rewrites the same keys";

    EXPECT_EQ(L"Widget Class", ClassesValue(widget));
    EXPECT_EQ(ThisModulePath(), ClassesValue(widget + L"\\InprocServer32"));
    EXPECT_EQ(L"Apartment", ClassesValue(widget + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(widgetProgId_ + L".1", ClassesValue(widget + L"\\ProgID"));
    EXPECT_EQ(widgetProgId_, ClassesValue(widget + L"\\VersionIndependentProgID"));
    EXPECT_EQ(GuidText(LIBID_DispatchTestLib), ClassesValue(widget + L"\\TypeLib"));
    EXPECT_EQ(twinProgId_ + L".1", ClassesValue(twin + L"\\ProgID")) << "the first ProgID is the class's own";

    EXPECT_EQ(L"Widget Class", ClassesValue(widgetProgId_));
    EXPECT_EQ(GuidText(widgetId_), ClassesValue(widgetProgId_ + L"\\CLSID"));
    EXPECT_EQ(widgetProgId_ + L".1", ClassesValue(widgetProgId_ + L"\\CurVer"));
    EXPECT_EQ(L"Widget Class", ClassesValue(widgetProgId_ + L".1"));
    EXPECT_EQ(GuidText(widgetId_), ClassesValue(widgetProgId_ + L".1\\CLSID"));
    for (const std::wstring& progId : {twinProgId_, twinAliasProgId_}) {
        EXPECT_EQ(GuidText(twinId_), ClassesValue(progId + L"\\CLSID")) << progId;
        EXPECT_EQ(progId + L".1", ClassesValue(progId + L"\\CurVer")) << progId;
        EXPECT_EQ(GuidText(twinId_), ClassesValue(progId + L".1\\CLSID")) << progId;
    }
    EXPECT_TRUE(ClassesKeyExists(typeLibKey + L"\\1.0"));

    CLSID found = GUID_NULL;
    EXPECT_EQ(S_OK, CLSIDFromProgID(twinAliasProgId_.c_str(), &found));
    EXPECT_TRUE(IsEqualGUID(twinId_, found)) << "the second ProgID names the same class";

    EXPECT_EQ(S_OK, module.UnregisterServer());
    for (const std::wstring& key : RegisteredKeys()) EXPECT_FALSE(ClassesKeyExists(key)) << key;
    EXPECT_FALSE(ClassesKeyExists(typeLibKey + L"\\1.0"));
    EXPECT_EQ(S_OK, module.UnregisterServer()) << "nothing left to remove is no failure";

    EXPECT_EQ((std::vector<bool>{true, true, false, false}), g_hookCalls)
        << "the class's extra entries are written and removed with it";
}

TEST_F(ComModuleTest, UnregistrationLeavesAProgIdThatAnotherClassTookOver)
{
    ComModule& module = ComModule::Instance();
    ASSERT_EQ(S_OK, module.RegisterServer());
    GUID other = GUID_NULL;
    ASSERT_EQ(S_OK, CoCreateGuid(&other));
    const std::wstring otherText = GuidText(other);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueW(HKEY_CLASSES_ROOT, (widgetProgId_ + L"\\CLSID").c_str(), REG_SZ, otherText.c_str(),
                           static_cast<DWORD>(otherText.size() * sizeof(wchar_t))));

    EXPECT_EQ(S_OK, module.UnregisterServer());
    EXPECT_EQ(otherText, ClassesValue(widgetProgId_ + L"\\CLSID"));
    EXPECT_FALSE(ClassesKeyExists(widgetProgId_ + L".1"));
    EXPECT_FALSE(ClassesKeyExists(L"CLSID\\" + GuidText(widgetId_)));
    SHDeleteKeyW(HKEY_CLASSES_ROOT, widgetProgId_.c_str());
}

TEST_F(ComModuleTest, RegisteredProgIdCreatesThroughTheClassFactory)
{
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ComModule& module = ComModule::Instance();
    ASSERT_EQ(S_OK, module.RegisterServer());

    // A program cannot be its own in-process server: hand COM the class
    // object directly, as a loaded library's DllGetClassObject would.
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, module.GetClassObject(twinId_, IID_PPV_ARGS(&factory)));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(twinId_, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));

    for (const std::wstring& progId : {twinProgId_, twinAliasProgId_ + L".1"}) {
        CLSID clsid = GUID_NULL;
        ASSERT_EQ(S_OK, CLSIDFromProgID(progId.c_str(), &clsid)) << progId;
        ComPtr<IOleWindow> widget;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget))) << progId;
        HWND window = nullptr;
        EXPECT_EQ(S_OK, widget->GetWindow(&window));
    }

    EXPECT_EQ(S_OK, CoRevokeClassObject(cookie));
    factory.Reset();
    EXPECT_EQ(S_OK, module.UnregisterServer());
    CLSID clsid = GUID_NULL;
    EXPECT_TRUE(FAILED(CLSIDFromProgID(twinProgId_.c_str(), &clsid)));
    CoUninitialize();
}

}  // namespace
