// Walks the processes of the system through a tool-help snapshot.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include "common/Handle.h"

class ProcessSnapshot : public Handle {
public:
    ProcessSnapshot();
    bool Valid() const { return entryValid_; }
    bool Next();
    const PROCESSENTRY32W& Entry() const { return entry_; }

private:
    PROCESSENTRY32W entry_;
    bool entryValid_ = false;
};
