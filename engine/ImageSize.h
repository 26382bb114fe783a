// Size texts and the fit rules of picture resizing: what the upload dialogs'
// size choices are stored as, how a stored size is read back, and the size a
// picture gets when it is shrunk into a box.
#pragma once

#include <string>

// Cuts a chosen size text at its first " (" and keeps the rest when it is a
// size (decimal digits with exactly one 'x' or 'X' and a nonzero number on
// each side); anything else, the empty text included, becomes "resample".
std::wstring NormalizeSizeText(const std::wstring& text);

// True for "resample" in any case: the service, not this machine, resizes.
bool IsResampleSize(const std::wstring& text);

// Reads a normalised size text into width and height (the numbers before and
// after the 'x'; large numbers saturate). False when the text is not a size;
// width and height are then 0.
bool ParseSizeText(const std::wstring& text, int& width, int& height);

struct PictureSize {
    int width;
    int height;
};

// True when a picture of width x height lies within a box of boxWidth x boxHeight.
bool FitsInBox(int width, int height, int boxWidth, int boxHeight);

// The size of a picture shrunk into a box with its aspect ratio kept: the side
// that overflows the box more sets the scale, the other side follows by
// integer arithmetic and is at least 1. Pictures that already fit, and empty
// pictures or boxes, keep their size.
PictureSize FittedSize(int width, int height, int boxWidth, int boxHeight);
