#pragma once
// An account record of a record file, as read back.

#include <cstdint>
#include <string_view>

#include "results/AccountValues.h"
#include "results/RecordKey.h"

namespace Quilna {

// Without copies: the views point into the reader's line buffer and are valid only during
// the callback that receives them.
struct AccountRecordView {
    int64_t line = 0;  // line number of the key line, from 1
    int64_t day = 0;
    std::string_view keyText;
    RecordKeyView key;
    AccountValues values;

    std::string_view operator[](KeyField field) const { return key[field]; }
};

struct AccountRecord {
    int64_t line = 0;
    int64_t day = 0;
    RecordKey key;
    AccountValues values;
};

}  // namespace Quilna
