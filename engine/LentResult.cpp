// The process-wide register of lent upload results.
#include "engine/LentResult.h"

#include <set>

#include "common/Locks.h"

namespace {

struct Register {
    CriticalSection lock;
    std::multiset<const CUploadResult*> lent;
};

Register& Lent()
{
    static Register lent;
    return lent;
}

}  // namespace

LentResult::LentResult(const CUploadResult& result) : result_(result)
{
    ScopedLock lock(Lent().lock);
    Lent().lent.insert(&result_);
}

LentResult::~LentResult()
{
    ScopedLock lock(Lent().lock);
    const auto found = Lent().lent.find(&result_);
    if (found != Lent().lent.end()) Lent().lent.erase(found);
}

bool LentResult::CopyLent(LONG_PTR handle, CUploadResult& copy)
{
    ScopedLock lock(Lent().lock);
    const auto found = Lent().lent.find(reinterpret_cast<const CUploadResult*>(handle));
    if (found == Lent().lent.end()) return false;
    copy = **found;
    return true;
}
