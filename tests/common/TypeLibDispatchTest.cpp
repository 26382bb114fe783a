// IDispatch over the type library: names and calls reach the dual
// interface's methods through the real ITypeInfo of a type library embedded in
// this test program, and the type information is loaded once per interface.
#include <windows.h>
#include <ocidl.h>

#include <string>

#include <gtest/gtest.h>

#include "DispatchTestLib_h.h"
#include "common/Bstr.h"
#include "common/ComObject.h"
#include "common/TypeLibDispatch.h"
#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

// The dispatch test library is this program's TYPELIB resource 2. The site
// interface comes first so that IDispatch has to be found among the entries.
class CCalculator
    : public ComObject<CCalculator, IObjectWithSite, TypeLibDispatch<ITestCalculator, 2>> {
public:
    STDMETHODIMP Add(LONG left, LONG right, LONG* sum) override
    {
        // Not commutative on purpose: a swap of the arguments shows.
        *sum = left * 10 + right;
        return S_OK;
    }
    STDMETHODIMP get_Name(BSTR* name) override { return name_.CopyTo(name); }
    STDMETHODIMP put_Name(BSTR name) override
    {
        name_ = Bstr(name);
        return S_OK;
    }
    STDMETHODIMP Fail() override { return E_INVALIDARG; }

    STDMETHODIMP SetSite(IUnknown*) override { return S_OK; }
    STDMETHODIMP GetSite(REFIID, void** site) override
    {
        *site = nullptr;
        return E_FAIL;
    }

private:
    ~CCalculator() override = default;
    Bstr name_;
};

ComPtr<IDispatch> NewCalculator()
{
    ComPtr<IDispatch> calculator;
    EXPECT_EQ(S_OK, CCalculator::Create(calculator));
    return calculator;
}

DISPID IdOf(IDispatch* object, const wchar_t* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return SUCCEEDED(hr) ? id : DISPID_UNKNOWN;
}

TEST(TypeLibDispatchTest, IDispatchIsTheDualInterface)
{
    ComPtr<CCalculator> calculator;
    ASSERT_EQ(S_OK, CCalculator::Create(calculator));
    ComPtr<IDispatch> dispatch;
    ComPtr<ITestCalculator> dual;
    ASSERT_EQ(S_OK, calculator.As(&dispatch));
    ASSERT_EQ(S_OK, calculator.As(&dual));
    EXPECT_EQ(static_cast<IDispatch*>(dual.Get()), dispatch.Get());
}

TEST(TypeLibDispatchTest, NamesMapToTheTypeLibraryIdentifiers)
{
    ComPtr<IDispatch> calculator = NewCalculator();
    ASSERT_NE(nullptr, calculator.Get());
    EXPECT_EQ(1, IdOf(calculator.Get(), L"Add"));
    EXPECT_EQ(2, IdOf(calculator.Get(), L"name")) << "script names are not case-sensitive";
    EXPECT_EQ(DISPID_UNKNOWN, IdOf(calculator.Get(), L"Multiply"));

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Missing")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, calculator->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              calculator->GetIDsOfNames(IID_ITestCalculator, names, 1, LOCALE_USER_DEFAULT, &id));
}

TEST(TypeLibDispatchTest, InvokeCallsTheMethodsWithTheirArgumentsInOrder)
{
    ComPtr<IDispatch> calculator = NewCalculator();
    ASSERT_NE(nullptr, calculator.Get());

    // Arguments go in reverse order: the last one first.
    Variant arguments[2] = {Variant(LONG(5)), Variant(LONG(7))};
    VARIANT raw[2] = {*arguments[0].Get(), *arguments[1].Get()};
    DISPPARAMS params = {raw, nullptr, 2, 0};
    Variant result;
    ASSERT_EQ(S_OK, calculator->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(),
                                       nullptr, nullptr));
    ASSERT_EQ(VT_I4, result.Type());
    EXPECT_EQ(75, V_I4(result.Get()));

    Variant name(L"Abacus");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {name.Get(), &named, 1, 1};
    ASSERT_EQ(S_OK, calculator->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr,
                                       nullptr, nullptr));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(S_OK, calculator->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                       result.Out(), nullptr, nullptr));
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_STREQ(L"Abacus", V_BSTR(result.Get()));
}

TEST(TypeLibDispatchTest, InvokeReportsFailuresAndRefusesBadRequests)
{
    ComPtr<IDispatch> calculator = NewCalculator();
    ASSERT_NE(nullptr, calculator.Get());
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXCEPINFO exception = {};
    const HRESULT hr = calculator->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                          &exception, nullptr);
    EXPECT_TRUE(FAILED(hr)) << "a failing method is no success to the script";
    if (hr == DISP_E_EXCEPTION) {
        EXPECT_EQ(E_INVALIDARG, exception.scode);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    } else {
        EXPECT_EQ(E_INVALIDARG, hr);
    }

    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, calculator->Invoke(1, IID_ITestCalculator, LOCALE_USER_DEFAULT,
                                                          DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    EXPECT_TRUE(FAILED(calculator->Invoke(99, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                          nullptr, nullptr)));
    EXPECT_TRUE(FAILED(calculator->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                          nullptr, nullptr)))
        << "a method called without its arguments";
}

TEST(TypeLibDispatchTest, TypeInformationIsLoadedOncePerInterface)
{
    ComPtr<IDispatch> first = NewCalculator();
    ComPtr<IDispatch> second = NewCalculator();
    ASSERT_NE(nullptr, first.Get());
    ASSERT_NE(nullptr, second.Get());

    UINT count = 0;
    EXPECT_EQ(S_OK, first->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> firstInfo, secondInfo;
    ASSERT_EQ(S_OK, first->GetTypeInfo(0, LOCALE_USER_DEFAULT, &firstInfo));
    ASSERT_EQ(S_OK, second->GetTypeInfo(0, LOCALE_USER_DEFAULT, &secondInfo));
    EXPECT_EQ(firstInfo.Get(), secondInfo.Get());

    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, firstInfo->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_ITestCalculator, attributes->guid));
    firstInfo->ReleaseTypeAttr(attributes);

    ComPtr<ITypeInfo> none;
    EXPECT_EQ(DISP_E_BADINDEX, first->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none));
    EXPECT_EQ(nullptr, none.Get());
}

}  // namespace
