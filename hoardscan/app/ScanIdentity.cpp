#include "hoardscan/app/ScanIdentity.h"

#include "platform/Platform.h"
#include "system/SystemInfo.h"
#include "text/StringUtils.h"

namespace Quilna {

ScanIdentity ScanIdentity::ofThisComputer(SystemServices& services) {
    ScanIdentity identity;
    std::string architecture, osName;
    getSystemInfo(services, identity.domain, identity.hostName, architecture, osName);
    StringUtils::toUpper(identity.hostName);
    return identity;
}

}  // namespace Quilna
