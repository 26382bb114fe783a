// Upload results lent to the toolbar band by address for the time of one call.
// The band's scriptable interface takes a record's address as a number, so it
// accepts only addresses that are lent out right now and copies the record
// under the same lock that ends the loan.
#pragma once

#include <windows.h>

#include "engine/UploadResult.h"

class LentResult {
public:
    explicit LentResult(const CUploadResult& result);
    ~LentResult();
    LentResult(const LentResult&) = delete;
    LentResult& operator=(const LentResult&) = delete;

    LONG_PTR Handle() const { return reinterpret_cast<LONG_PTR>(&result_); }

    // Copies the record behind handle; false when handle is not on loan.
    static bool CopyLent(LONG_PTR handle, CUploadResult& copy);

private:
    const CUploadResult& result_;
};
