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
        {"dummy", {{"", "dummy"}}},
        {"", {}},
        {" \t\r\n", {}},
        {"-a -b x", {{"a", ""}, {"b", "x"}}},
        {"x y", {{"", "x"}, {"", "y"}}},
        {"-ab", {{"a", "b"}}},  // the name is one character, the rest a value
        // An unquoted dash starts the option "c" again, whose value is the rest: paths are quoted.
        {"-c /data/my-conf", {{"c", "/data/my"}, {"c", "onf"}}},
        {"-c \"/data/my-conf file\"", {{"c", "/data/my-conf file"}}},
        {"-c 'it \"is\"'", {{"c", "it \"is\""}}},
        {"-c ''", {{"c", ""}}},
        {"ab\"c d\"e", {{"", "ab"}, {"", "c d"}, {"", "e"}}},  // a quote inside a word splits it
        {"--config h.conf -v", {{"config", "h.conf"}, {"v", ""}}},
        {"--flag", {{"flag", ""}}},
        {"-c \"C:\\a b", {{"c", "\"C:\\a b"}}},  // an unterminated quote keeps its opening quote
    };
    for (const auto& [text, options] : cases) EXPECT_EQ(split(text), options) << text;
}

TEST(CommandLine, SurvivesEveryShortText) {
    // Every text of up to four characters from an alphabet of the special characters.
    const std::string alphabet = "-\"' ax";
    std::string text;
    for (size_t length = 0; length <= 4; ++length) {
        size_t combinations = 1;
        for (size_t i = 0; i < length; ++i) combinations *= alphabet.size();
        for (size_t n = 0; n < combinations; ++n) {
            text.clear();
            for (size_t i = 0, rest = n; i < length; ++i, rest /= alphabet.size()) text += alphabet[rest % alphabet.size()];
            size_t characters = 0;
            for (const auto& [name, value] : split(text)) characters += name.size() + value.size();
            EXPECT_LE(characters, text.size()) << text;
        }
    }
}

}  // namespace
}  // namespace Quilna
