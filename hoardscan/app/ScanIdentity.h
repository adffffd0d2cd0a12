#pragma once
// Who scans: the facts about this computer that the rules are matched against.

#include <string>

#include "platform/SystemServices.h"

namespace Quilna {

struct ScanIdentity {
    std::string hostName;  // upper case
    std::string domain;    // as the system information gives it

    // This computer's, asked of the system once per run.
    static ScanIdentity ofThisComputer(SystemServices& services);
};

}  // namespace Quilna
