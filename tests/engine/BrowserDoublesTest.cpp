// The browser doubles themselves: a call they do not implement fails the
// test, optional interfaces are refused quietly, references are counted.
#include <mshtml.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/BrowserDoubles.h"

TEST(BrowserDoublesTest, UnimplementedCallsFailTheTest)
{
    auto element = vptest::BrowserElement::Create(L"div");
    auto html = vptest::Query<IHTMLElement>(element);
    HRESULT hr = S_OK;
    EXPECT_NONFATAL_FAILURE(hr = html->click(), "unexpected call of BrowserElement IHTMLElement");
    EXPECT_EQ(E_NOTIMPL, hr);
    EXPECT_TRUE(element->calls.empty());
}

TEST(BrowserDoublesTest, InterfacesAndReferences)
{
    auto element = vptest::BrowserElement::Create(L"input", vptest::BrowserElement::Type::HiddenInput);
    EXPECT_NE(nullptr, vptest::Query<IHTMLInputHiddenElement>(element));
    EXPECT_EQ(nullptr, vptest::Query<IHTMLFormElement>(element));  // refused without a failure
    {
        auto node = vptest::Query<IHTMLDOMNode>(element);
        auto unknown = vptest::Query<IUnknown>(element);
        EXPECT_EQ(3u, element->References());  // the test's and the two above
        // One identity whichever interface is asked.
        Microsoft::WRL::ComPtr<IUnknown> again;
        ASSERT_EQ(S_OK, vptest::Query<IHTMLElement2>(element).As(&again));
        EXPECT_EQ(unknown.Get(), again.Get());
    }
    EXPECT_EQ(1u, element->References());
}
