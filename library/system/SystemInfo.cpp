#include "system/SystemInfo.h"

namespace Quilna {

namespace {

constexpr uint32_t kArchIntel = 0;
constexpr uint32_t kArchIa64 = 6;
constexpr uint32_t kArchAmd64 = 9;
constexpr uint32_t kStorageServerSuite = 0x2000;
constexpr int kNotNtExitCode = 1005;

// " x64" or " ia64" after the names of 64-bit server and later versions.
std::string architectureSuffix(uint32_t architecture) {
    if (architecture == kArchAmd64) return " x64";
    if (architecture == kArchIa64) return " ia64";
    return std::string();
}

std::string windows52Name(const OsVersion& version, uint32_t architecture) {
    // The second-release and storage-server tests come first, whatever the product type.
    if (version.serverR2Metric != 0) return "Server 2003 R2";
    if (version.suiteMask == kStorageServerSuite) return "Storage Server 2003";
    if (version.workstation) return architecture == kArchAmd64 ? "XP x64" : "Server 2003";
    return "Server 2003";
}

std::string windows6Name(const OsVersion& version) {
    switch (version.minor) {
        case 0: return version.workstation ? "Vista" : "Server 2008";
        case 1: return version.workstation ? "7" : "Server 2008 R2";
        case 2: return version.workstation ? "8" : "Server 2012";
        default: return std::string();
    }
}

std::string windowsName(const OsVersion& version, uint32_t architecture) {
    const std::string major = std::to_string(version.major);
    const std::string minor = std::to_string(version.minor);
    std::string name;
    if (version.major == 3 || version.major == 4) {
        name = "NT " + major + minor;
    } else if (version.major == 5 && version.minor == 0) {
        name = "2000";
    } else if (version.major == 5 && version.minor == 1) {
        name = "XP";
    } else if (version.major == 5 && version.minor == 2) {
        name = windows52Name(version, architecture);
        if (!version.workstation) name += architectureSuffix(architecture);
    } else if (version.major == 6 && !windows6Name(version).empty()) {
        name = windows6Name(version) + architectureSuffix(architecture);
    } else {
        name = major + " " + minor;
    }
    return "Windows " + name;
}

// The DNS domain when it is a real one, else the workgroup, else "N/A".
std::string domainOf(SystemServices& services, const std::string& computer) {
    std::string domain;
    if (services.dnsDomain(domain) && !domain.empty() && domain != computer) return domain;
    std::string group;
    return services.workgroup(group) ? group : std::string("N/A");
}

}  // namespace

std::string architectureName(uint32_t number) {
    switch (number) {
        case kArchIntel: return "i386";
        case 1: return "mips";
        case 2: return "alpha";
        case 3: return "powerpc";
        case 5: return "arm";
        case kArchIa64: return "ia64";
        case kArchAmd64: return "amd64";
        case 10: return "ia32_on_win64";
        case 12: return "arm64";
        case 0xFFFF: return "unknown";
        default: return "error";
    }
}

void getSystemInfo(SystemServices& system, std::string& domain, std::string& computer, std::string& architecture,
                   std::string& osName) {
    const uint32_t native = system.processorArchitecture();
    architecture = architectureName(native);

    OsVersion version;
    if (system.osVersion(version)) {
        if (!version.ntFamily) system.exitProcess(kNotNtExitCode);
        osName = version.name.empty() ? windowsName(version, native) : version.name;
    }

    std::string name;
    if (system.computerName(name)) computer = name;
    domain = domainOf(system, computer);
}

std::string getUserName(SystemServices& services) {
    std::string name;
    return services.userName(name) ? name : std::string("<error>");
}

bool isWow64(SystemServices& services) { return services.isWow64(); }

}  // namespace Quilna
