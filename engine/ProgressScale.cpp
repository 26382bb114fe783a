// Progress scale (see the header). Products of item numbers and units are
// computed in 64 bits and saturate at the largest 32-bit unsigned value, so an
// absurd item count gives a full bar instead of a wrapped one.
#include "engine/ProgressScale.h"

namespace {

UINT Saturate(LONGLONG value)
{
    if (value < 0) return 0;
    if (value > static_cast<LONGLONG>(MAXUINT32)) return MAXUINT32;
    return static_cast<UINT>(value);
}

}  // namespace

void ProgressScale::StartItem(int index, int count)
{
    index_ = index;
    count_ = count;
    stage_ = kSingleStage;
}

UINT ProgressScale::Range() const
{
    return Saturate(static_cast<LONGLONG>(count_) * kUnitsPerItem);
}

UINT ProgressScale::ItemBase() const
{
    return Saturate(static_cast<LONGLONG>(index_) * kUnitsPerItem);
}

UINT ProgressScale::FinishStage()
{
    if (stage_ == kConverting) {
        stage_ = kUploadingAfterConversion;
        return Saturate(static_cast<LONGLONG>(ItemBase()) + kUnitsPerItem / 2);
    }
    return Saturate(static_cast<LONGLONG>(ItemBase()) + kUnitsPerItem);
}

bool ProgressScale::Units(int position, int range, UINT* units) const
{
    if (!(0 < position && position < range)) return false;
    LONGLONG within = static_cast<LONGLONG>(position) * kUnitsPerItem / range;
    if (stage_ == kConverting) {
        within /= 2;
    } else if (stage_ == kUploadingAfterConversion) {
        within = within / 2 + kUnitsPerItem / 2;
    }
    if (units) *units = Saturate(within + ItemBase());
    return true;
}
