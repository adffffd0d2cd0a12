// The texts that describe the machine, made above the platform from its raw facts; the
// Windows answers come from a fake platform.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/SystemInfo.h"
#include "support/FakePlatform.h"

namespace Quilna {
namespace {

// A platform whose user and workgroup lookups fail, and whose process exit can be seen.
class FailingPlatform : public FakePlatform {
public:
    bool userName(std::string& out) override { return user ? FakePlatform::userName(out) : false; }
    bool workgroup(std::string& out) override { return group ? FakePlatform::workgroup(out) : false; }
    bool dnsDomain(std::string& out) override { return domain ? FakePlatform::dnsDomain(out) : false; }
    [[noreturn]] void exitProcess(int code) override { throw std::runtime_error("exit " + std::to_string(code)); }
};

struct Described {
    std::string domain = "<domain>", computer = "<computer>", architecture = "<arch>", os = "<os>";
};

Described describe() {
    Described d;
    getSystemInfo(d.domain, d.computer, d.architecture, d.os);
    return d;
}

OsVersion windows(uint32_t major, uint32_t minor, bool workstation, uint32_t suite = 0, int r2 = 0) {
    OsVersion v;
    v.major = major;
    v.minor = minor;
    v.workstation = workstation;
    v.suiteMask = suite;
    v.serverR2Metric = r2;
    return v;
}

TEST(SystemInfo, ArchitectureNumbers) {
    EXPECT_EQ(architectureName(0), "i386");
    EXPECT_EQ(architectureName(1), "mips");
    EXPECT_EQ(architectureName(2), "alpha");
    EXPECT_EQ(architectureName(3), "powerpc");
    EXPECT_EQ(architectureName(5), "arm");
    EXPECT_EQ(architectureName(6), "ia64");
    EXPECT_EQ(architectureName(9), "amd64");
    EXPECT_EQ(architectureName(10), "ia32_on_win64");
    EXPECT_EQ(architectureName(12), "arm64");
    EXPECT_EQ(architectureName(65535), "unknown");
    EXPECT_EQ(architectureName(4), "error");
    EXPECT_EQ(architectureName(11), "error");
}

TEST(SystemInfo, WindowsVersionNames) {
    FailingPlatform fake;
    fake.computer = "HOST";
    fake.group = "WORKGROUP";
    const auto name = [&](const OsVersion& version, uint32_t architecture) {
        fake.version = version;
        fake.architecture = architecture;
        return describe().os;
    };
    EXPECT_EQ(name(windows(4, 0, true), 0), "Windows NT 40");
    EXPECT_EQ(name(windows(3, 51, false), 0), "Windows NT 351");
    EXPECT_EQ(name(windows(5, 0, false), 9), "Windows 2000");
    EXPECT_EQ(name(windows(5, 1, true), 9), "Windows XP");
    EXPECT_EQ(name(windows(5, 2, true), 9), "Windows XP x64");
    EXPECT_EQ(name(windows(5, 2, true), 0), "Windows Server 2003");
    EXPECT_EQ(name(windows(5, 2, false), 0), "Windows Server 2003");
    EXPECT_EQ(name(windows(5, 2, false), 6), "Windows Server 2003 ia64");
    EXPECT_EQ(name(windows(5, 2, false, 0, 1), 9), "Windows Server 2003 R2 x64");
    EXPECT_EQ(name(windows(5, 2, true, 0, 1), 9), "Windows Server 2003 R2") << "R2 comes first, no suffix on workstations";
    EXPECT_EQ(name(windows(5, 2, false, 0x2000), 9), "Windows Storage Server 2003 x64");
    EXPECT_EQ(name(windows(5, 2, true, 0x2000), 0), "Windows Storage Server 2003");
    EXPECT_EQ(name(windows(6, 0, true), 0), "Windows Vista");
    EXPECT_EQ(name(windows(6, 0, false), 6), "Windows Server 2008 ia64");
    EXPECT_EQ(name(windows(6, 1, true), 9), "Windows 7 x64");
    EXPECT_EQ(name(windows(6, 1, false), 9), "Windows Server 2008 R2 x64");
    EXPECT_EQ(name(windows(6, 2, true), 12), "Windows 8");
    EXPECT_EQ(name(windows(6, 2, false), 9), "Windows Server 2012 x64");
    EXPECT_EQ(name(windows(6, 3, true), 9), "Windows 6 3");
    EXPECT_EQ(name(windows(10, 0, true), 9), "Windows 10 0");

    // A 32-bit process on 64-bit Windows reports the machine's architecture.
    fake.version = windows(6, 1, true);
    fake.architecture = 9;
    fake.wow64 = true;
    EXPECT_EQ(describe().architecture, "amd64");
    EXPECT_TRUE(isWow64());

    // A platform that names itself keeps its name.
    OsVersion named;
    named.name = "Debian GNU/Linux 12 (bookworm)";
    EXPECT_EQ(name(named, 9), "Debian GNU/Linux 12 (bookworm)");
}

TEST(SystemInfo, OutsideTheNtFamilyTheProcessEnds) {
    FailingPlatform fake;
    OsVersion old = windows(4, 10, true);
    old.ntFamily = false;
    fake.version = old;
    fake.computer = "HOST";
    std::string domain, computer, architecture, os = "kept";
    try {
        getSystemInfo(domain, computer, architecture, os);
        FAIL() << "the process should have ended";
    } catch (const std::runtime_error& exit) {
        EXPECT_STREQ(exit.what(), "exit 1005");
    }
}

TEST(SystemInfo, DomainWorkgroupAndComputerName) {
    FailingPlatform fake;
    fake.version = windows(6, 1, true);
    fake.architecture = 9;
    fake.computer = "PC1";

    fake.domain = "corp.example";
    fake.group = "WORKGROUP";
    Described d = describe();
    EXPECT_EQ(d.computer, "PC1");
    EXPECT_EQ(d.domain, "corp.example");

    // A DNS domain equal to the computer name, or an empty one, is no domain.
    fake.domain = "PC1";
    EXPECT_EQ(describe().domain, "WORKGROUP");
    fake.domain = "";
    EXPECT_EQ(describe().domain, "WORKGROUP");
    fake.domain.reset();
    EXPECT_EQ(describe().domain, "WORKGROUP");
    fake.group.reset();
    EXPECT_EQ(describe().domain, "N/A");

    // Facts the system cannot give leave the texts as they were.
    struct NoFacts : FailingPlatform {
        bool computerName(std::string&) override { return false; }
        bool osVersion(OsVersion&) override { return false; }
    } none;
    Described unchanged = describe();
    EXPECT_EQ(unchanged.computer, "<computer>");
    EXPECT_EQ(unchanged.os, "<os>");
    EXPECT_EQ(unchanged.domain, "N/A");
}

TEST(SystemInfo, UserName) {
    FailingPlatform fake;
    EXPECT_EQ(getUserName(), "<error>");
    fake.user = "ann";
    EXPECT_EQ(getUserName(), "ann");
}

}  // namespace
}  // namespace Quilna
