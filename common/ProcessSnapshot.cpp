// Process snapshot (see the header).
#include "common/ProcessSnapshot.h"

ProcessSnapshot::ProcessSnapshot() : entry_()
{
    entry_.dwSize = sizeof(entry_);
    Attach(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    entryValid_ = IsValid() && Process32FirstW(handle_, &entry_);
}

bool ProcessSnapshot::Next()
{
    entryValid_ = IsValid() && Process32NextW(handle_, &entry_);
    return entryValid_;
}
