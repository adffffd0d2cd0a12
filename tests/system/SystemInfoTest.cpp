// The texts that describe the machine, made above the platform from its raw facts.
#include <gtest/gtest.h>

#include "support/FakePlatform.h"
#include "system/SystemInfo.h"

namespace Quilna {
namespace {

// A platform whose user, workgroup and domain lookups fail until the test gives answers.
class FailingPlatform : public FakePlatform {
public:
    bool userName(std::string& out) override { return user ? FakePlatform::userName(out) : false; }
    bool workgroup(std::string& out) override { return group ? FakePlatform::workgroup(out) : false; }
    bool dnsDomain(std::string& out) override { return domain ? FakePlatform::dnsDomain(out) : false; }
};

std::string domainOf() {
    std::string domain, computer, architecture, os;
    getSystemInfo(domain, computer, architecture, os);
    return domain;
}

// A DNS domain equal to the computer name, or an empty one, is no domain: the workgroup is.
TEST(SystemInfo, DomainWorkgroupAndUserName) {
    FailingPlatform fake;
    OsVersion named;
    named.name = "Test System";
    fake.version = named;
    fake.computer = "PC1";
    fake.group = "WORKGROUP";
    const std::vector<std::pair<std::optional<std::string>, std::string>> cases{
        {"corp.example", "corp.example"}, {"PC1", "WORKGROUP"}, {"", "WORKGROUP"}, {std::nullopt, "WORKGROUP"}};
    for (const auto& [dns, expected] : cases) {
        fake.domain = dns;
        EXPECT_EQ(domainOf(), expected) << dns.value_or("(none)");
    }
    fake.group.reset();
    EXPECT_EQ(domainOf(), "N/A");
    EXPECT_EQ(getUserName(), "<error>");
    fake.user = "ann";
    EXPECT_EQ(getUserName(), "ann");
}

}  // namespace
}  // namespace Quilna
