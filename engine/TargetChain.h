// The uploader's default chain of result targets.
#pragma once

#include <windows.h>
#include <unknwn.h>

struct IStockBar;
class ImageTarget;

// Toolbar (or history when there is no toolbar), the pages refresh when the
// setting asks for it, and the destination's target when the destination is
// an element, a browser, a window or a page document. The caller owns the result.
ImageTarget* BuildTargetChain(IStockBar* toolbar, IUnknown* destination);
