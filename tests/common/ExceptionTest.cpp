#include <gtest/gtest.h>

#include "common/ConfigException.h"
#include "common/FileException.h"

namespace Quilna {
namespace {

// The trail names each place by its source file's bare name, whatever the path syntax.
TEST(Exception, FullTextAddsDetailAndTheLocationTrail) {
    ConfigException e(CF_CONF, "", "/src/library/common/ConfReader.cpp", 120);
    e.addLocation("C:\\build\\ConfReader.cpp", 300);
    e.addLocation("", 5);  // ignored
    e.addLocation("Makefile", 7);
    EXPECT_EQ(e.fullText(), "Configuration: Error in conf file. (Code: 1.1)\r\n  >  ConfReader(120) - ConfReader(300) - Makefile(7)");
    FileException f(FL_EXISTS_NOT, "a.txt-->File does not exist.", "FilePlain.cpp", 9);
    EXPECT_EQ(f.fullText(), "File: File does not exist. (Code: 60.2)\r\n  >  (a.txt-->File does not exist.)\r\n  >  FilePlain(9)");
    FileException unknown(27);
    EXPECT_EQ(unknown.fullText(), "File: Unknown error (Code: 60.27)");
}

}  // namespace
}  // namespace Quilna
