// The arithmetic shared by both progress displays: the whole upload is one
// scale of count x 10000 units, each item owning 10000 of them, and an item
// that is converted before it is sent spends half of its units on each stage.
#pragma once

#include <windows.h>

class ProgressScale {
public:
    static constexpr UINT kUnitsPerItem = 10000;

    enum Stage {
        kSingleStage = 0,
        kConverting = 1,
        kUploadingAfterConversion = 2,
    };

    // Starts item index (0-based) of count, in the single stage.
    void StartItem(int index, int count);
    // The current item is converted first, then uploaded.
    void BeginConversion() { stage_ = kConverting; }
    // Ends the current stage. A conversion moves on to its upload stage and
    // the result is the middle of the item; otherwise the end of the item.
    UINT FinishStage();
    // The units of position of range within the current item; false (and
    // nothing to show) unless 0 < position < range.
    bool Units(int position, int range, UINT* units) const;

    int Index() const { return index_; }
    int Count() const { return count_; }
    Stage CurrentStage() const { return stage_; }
    // count x 10000, the whole scale.
    UINT Range() const;
    // The first unit of the current item.
    UINT ItemBase() const;

private:
    int index_ = 0;
    int count_ = 1;
    Stage stage_ = kSingleStage;
};
