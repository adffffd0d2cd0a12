#include <gtest/gtest.h>

#include "hoardscan/CommandLine.h"

namespace Quilna {
namespace {

using CommandLine::Options;
using CommandLine::split;

TEST(CommandLine, TheLeadingDummyWordAndTheConfigurationOption) {
    EXPECT_EQ(split("dummy-c C:\\conf\\h.conf"), (Options{{"", "dummy"}, {"c", "C:\\conf\\h.conf"}}));
    EXPECT_EQ(split("dummy -c /etc/h.conf"), (Options{{"", "dummy"}, {"c", "/etc/h.conf"}}));
    EXPECT_EQ(split("dummy"), (Options{{"", "dummy"}}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split(" \t\r\n").empty());
}

TEST(CommandLine, OptionsWithoutValuesAndValuesWithoutOptions) {
    EXPECT_EQ(split("-a -b x"), (Options{{"a", ""}, {"b", "x"}}));
    EXPECT_EQ(split("-a"), (Options{{"a", ""}}));
    EXPECT_EQ(split("x y"), (Options{{"", "x"}, {"", "y"}}));
    EXPECT_EQ(split("-ab"), (Options{{"a", "b"}}));  // the name is one character, the rest a value
}

TEST(CommandLine, AnUnquotedDashCutsTheValueSoPathsAreQuoted) {
    // The dash starts the option "c" again, whose value is the rest.
    EXPECT_EQ(split("-c /data/my-conf"), (Options{{"c", "/data/my"}, {"c", "onf"}}));
    EXPECT_EQ(split("-c \"/data/my-conf file\""), (Options{{"c", "/data/my-conf file"}}));
    EXPECT_EQ(split("-c 'it \"is\"'"), (Options{{"c", "it \"is\""}}));
    EXPECT_EQ(split("-c ''"), (Options{{"c", ""}}));
}

TEST(CommandLine, AQuoteInsideAWordSplitsIt) {
    EXPECT_EQ(split("ab\"c d\"e"), (Options{{"", "ab"}, {"", "c d"}, {"", "e"}}));
}

TEST(CommandLine, LongOptionNamesTakeTheNextWordAsValue) {
    EXPECT_EQ(split("--config h.conf -v"), (Options{{"config", "h.conf"}, {"v", ""}}));
    EXPECT_EQ(split("--flag"), (Options{{"flag", ""}}));
}

TEST(CommandLine, AnUnterminatedQuoteKeepsItsOpeningQuote) {
    EXPECT_EQ(split("-c \"C:\\a b"), (Options{{"c", "\"C:\\a b"}}));
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
