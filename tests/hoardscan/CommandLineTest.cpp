#include <gtest/gtest.h>

#include "hoardscan/CommandLine.h"

namespace Quilna {
namespace {

using CommandLine::Options;
using CommandLine::split;

TEST(CommandLine, WordsSplitIntoOptionsAndValues) {
    const std::vector<std::pair<std::string, Options>> cases = {
        {"dummy-c C:\\conf\\h.conf", {{"", "dummy"}, {"c", "C:\\conf\\h.conf"}}},  // the leading dummy word
        {"dummy -c /etc/h.conf", {{"", "dummy"}, {"c", "/etc/h.conf"}}},
        {" \t\r\n", {}},
        {"-a -b x", {{"a", ""}, {"b", "x"}}},
        {"-ab", {{"a", "b"}}},  // the name is one character, the rest a value
        // An unquoted dash starts the option "c" again, whose value is the rest: paths are quoted.
        {"-c /data/my-conf", {{"c", "/data/my"}, {"c", "onf"}}},
        {"-c \"/data/my-conf file\"", {{"c", "/data/my-conf file"}}},
        {"-c 'it \"is\"'", {{"c", "it \"is\""}}},
        {"ab\"c d\"e", {{"", "ab"}, {"", "c d"}, {"", "e"}}},  // a quote inside a word splits it
        {"--config h.conf -v", {{"config", "h.conf"}, {"v", ""}}},
        {"-c \"C:\\a b", {{"c", "\"C:\\a b"}}},  // an unterminated quote keeps its opening quote
    };
    for (const auto& [text, options] : cases) EXPECT_EQ(split(text), options) << text;
}

}  // namespace
}  // namespace Quilna
