#pragma once
// A backend put in the place of the process's own for the lifetime of this object. Only what stays
// process-wide reads it: the clock and the time zone of the time library (log stamps, lock expiry,
// ages, local days). Everything else is handed its backend.

#include "platform/Platform.h"

namespace Quilna {

class ProcessWideBackend {
public:
    explicit ProcessWideBackend(Platform& backend) { installPlatform(&backend); }
    ~ProcessWideBackend() { installPlatform(nullptr); }
    ProcessWideBackend(const ProcessWideBackend&) = delete;
    ProcessWideBackend& operator=(const ProcessWideBackend&) = delete;
};

}  // namespace Quilna
