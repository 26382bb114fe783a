// Size texts and the fit rules of picture resizing.
#include "engine/ImageSize.h"

#include <climits>
#include <cwctype>

namespace {

// Decimal digits, one 'x' or 'X', decimal digits; each side has a nonzero
// digit, so that "x240" or "0x0" (a box nothing fits in) is no size.
bool IsSizeBody(const std::wstring& text)
{
    const size_t x = text.find_first_of(L"xX");
    if (x == std::wstring::npos) return false;
    bool nonzero[2] = {false, false};
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == x) continue;
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9') return false;
        if (c != L'0') nonzero[i > x ? 1 : 0] = true;
    }
    return nonzero[0] && nonzero[1];
}

int ReadNumber(const std::wstring& text, size_t begin, size_t end)
{
    long long value = 0;
    for (size_t i = begin; i < end; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

}  // namespace

std::wstring NormalizeSizeText(const std::wstring& text)
{
    const std::wstring body = text.substr(0, text.find(L" ("));
    return IsSizeBody(body) ? body : std::wstring(L"resample");
}

bool IsResampleSize(const std::wstring& text)
{
    static const wchar_t kResample[] = L"resample";
    if (text.size() != sizeof(kResample) / sizeof(kResample[0]) - 1) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::towlower(text[i]) != kResample[i]) return false;
    }
    return true;
}

bool ParseSizeText(const std::wstring& text, int& width, int& height)
{
    width = height = 0;
    if (text.empty() || !IsSizeBody(text)) return false;
    const size_t x = text.find_first_of(L"xX");
    width = ReadNumber(text, 0, x);
    height = ReadNumber(text, x + 1, text.size());
    return true;
}

bool FitsInBox(int width, int height, int boxWidth, int boxHeight)
{
    return width <= boxWidth && height <= boxHeight;
}

PictureSize FittedSize(int width, int height, int boxWidth, int boxHeight)
{
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0 ||
        FitsInBox(width, height, boxWidth, boxHeight)) {
        return {width, height};
    }
    // Compare width/height with boxWidth/boxHeight without division; 64-bit
    // products cannot overflow for int operands.
    const long long w = width, h = height, bw = boxWidth, bh = boxHeight;
    long long newWidth, newHeight;
    if (w * bh > h * bw) {
        newWidth = bw;
        newHeight = bw * h / w;
    } else {
        newHeight = bh;
        newWidth = w * bh / h;
    }
    return {static_cast<int>(newWidth > 0 ? newWidth : 1), static_cast<int>(newHeight > 0 ? newHeight : 1)};
}
