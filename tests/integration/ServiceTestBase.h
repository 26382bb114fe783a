// A test against the development service with the toolbar pointed at it,
// the service's record cleared, the imaging library started and a folder for
// the user's own files.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <gtest/gtest.h>

#include "engine/GdiplusSession.h"
#include "support/DevService.h"
#include "support/TempFolder.h"

namespace vptest {

class ServiceTestBase : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service_.Available());
        service_.Reset();
        service_.PointToolbarHere();
    }

    GdiplusSession gdiplus_;
    DevService service_;
    TempFolder folder_{TempFolder::OutsideTemporaryFolder};
};

}  // namespace vptest
