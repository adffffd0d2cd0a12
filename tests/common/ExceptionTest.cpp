#include <gtest/gtest.h>

#include "common/ConfigException.h"
#include "common/FileException.h"
#include "common/IPCException.h"
#include "common/TimeException.h"

namespace Quilna {
namespace {

std::string described(const Exception& e) {
    std::string text;
    return e.describe(text);
}

TEST(Exception, DescribeNamesTheDomainTheTextAndBothNumbers) {
    EXPECT_EQ(described(ConfigException(CF_CONF)), "Configuration: Error in conf file. (Code: 1.1)");
    EXPECT_EQ(described(Exception(5)), "Exception: Unknown error (Code: 63.5)");
    EXPECT_EQ(described(TimeException(TM_INPUT)), "Time: Illegal input format. (Code: 4.10)");
    EXPECT_EQ(described(ConfigException(7)), "Configuration: Unknown error (Code: 1.7)");
    EXPECT_EQ(described(TimeException(11)), "Time: Unknown error (Code: 4.11)");
    EXPECT_EQ(described(IPCException(IC_CANNOT_SEND)), "IPC: Unable to send message. (Code: 4.5)");
    EXPECT_EQ(described(IPCException(8)), "IPC: Unknown error (Code: 4.8)");
    EXPECT_EQ(described(FileException(27)), "File: Unknown error (Code: 60.27)");
    EXPECT_EQ(described(FileException(FL_ERROR)), "File: An error occured. (No changes made.) (Code: 60.28)");
    EXPECT_EQ(described(FileException(FL_ACCESS_COMB)), "File: Illegal combination of access flaggs. (Code: 60.8)");
}

TEST(Exception, DomainNumbersAndCodeNames) {
    EXPECT_EQ(Exception(0).domainId(), 63);
    EXPECT_EQ(ConfigException(0).domainId(), 1);
    EXPECT_EQ(TimeException(0).domainId(), 4);
    EXPECT_EQ(FileException(0).domainId(), 60);
    EXPECT_EQ(IPCException(0).domainId(), 4);
    EXPECT_STREQ(FileException::codeName(FL_IS_LOCKED), "FL_IS_LOCKED");
    EXPECT_STREQ(FileException::codeName(27), "");
    EXPECT_STREQ(IPCException::codeName(7), "IC_MEM");
}

TEST(Exception, FullTextWithoutDetailOrLocationsIsTheDescription) {
    ConfigException plain(CF_MEM);
    EXPECT_EQ(plain.fullText(), described(plain));
}

TEST(Exception, FullTextAddsDetailAndTheLocationTrail) {
    ConfigException e(CF_CONF, "", "/src/library/common/ConfReader.cpp", 120);
    e.addLocation("C:\\build\\ConfReader.cpp", 300);
    e.addLocation("", 5);  // ignored
    e.addLocation("Makefile", 7);
    EXPECT_EQ(e.fullText(), "Configuration: Error in conf file. (Code: 1.1)\r\n  >  ConfReader(120) - ConfReader(300) - Makefile(7)");
    FileException f(FL_EXISTS_NOT, "a.txt-->File does not exist.", "FilePlain.cpp", 9);
    EXPECT_EQ(f.fullText(), "File: File does not exist. (Code: 60.2)\r\n  >  (a.txt-->File does not exist.)\r\n  >  FilePlain(9)");
}

TEST(Exception, CopiesKeepEverythingAndCatchingByBaseDispatches) {
    try {
        QUILNA_THROW(TimeException, TM_DAYS, "d");
    } catch (const Exception& caught) {
        Exception copy = caught;  // sliced copy keeps the base's data
        EXPECT_EQ(copy.code(), TM_DAYS);
        EXPECT_EQ(copy.detail(), "d");
        ASSERT_EQ(copy.locations().size(), 1u);
        EXPECT_EQ(copy.locations()[0].first, "ExceptionTest");
        EXPECT_EQ(described(caught), "Time: Days out of range: (0 - 24,855). (Code: 4.1)");
    }
}

}  // namespace
}  // namespace Quilna
