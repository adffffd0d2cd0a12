#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "hoardscan/WildcardMatch.h"
#include "hoardscan/WildcardPattern.h"
#include "hoardscan/WildcardText.h"
#include "text/StringUtils.h"

namespace {

using Quilna::wildcardMatch;
using Quilna::wildcardMatchNoCase;

// A plain reference: the same special cases and "*?" simplification, then a full table.
std::string simplified(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        if ((c == '*' || c == '?') && !out.empty() && out.back() == '*') continue;
        out += c;
    }
    return out;
}

bool referenceMatch(const std::string& pattern, const std::string& text) {
    if (pattern == "*") return true;
    if (pattern == "?") return text.size() == 1;
    if (text.empty()) return false;
    if (pattern == "?*") return true;
    std::string p = simplified(pattern);
    size_t m = p.size(), n = text.size();
    std::vector<std::vector<char>> dp(m + 1, std::vector<char>(n + 1, 0));
    dp[0][0] = 1;
    for (size_t i = 1; i <= m; ++i) {
        for (size_t j = 0; j <= n; ++j) {
            if (p[i - 1] == '*') {
                dp[i][j] = dp[i - 1][j] || (j > 0 && dp[i][j - 1]);
            } else if (j > 0) {
                dp[i][j] = dp[i - 1][j - 1] && (p[i - 1] == '?' || p[i - 1] == text[j - 1]);
            }
        }
    }
    return dp[m][n];
}

std::string randomText(std::mt19937& random, const std::string& alphabet, size_t maxLength) {
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string out(length(random), ' ');
    for (char& c : out) c = alphabet[pick(random)];
    return out;
}

// The matcher with and without case, and the automata the walk feeds a path at a time (after every prefix, in any
// case).
TEST(WildcardMatch, AgreesWithReferenceOnGeneratedPairs) {
    std::mt19937 random(20240613);
    int mismatches = 0;
    for (int i = 0; i < 200000 && mismatches < 10; ++i) {
        std::string pattern = randomText(random, "ab*?", 8);
        std::string text = randomText(random, i % 7 == 0 ? "ab*?" : "ab", 9);
        bool expected = referenceMatch(pattern, text);
        const std::string upper = Quilna::StringUtils::upperCopy(pattern);
        // With case, a pattern in capitals matches only when it holds no letter.
        if (wildcardMatch(pattern, text) != expected || wildcardMatchNoCase(upper, text) != expected ||
            wildcardMatch(upper, text) != (expected && upper == pattern)) {
            ++mismatches;
            ADD_FAILURE() << "pattern \"" << pattern << "\" text \"" << text << "\" expected " << expected;
        }
        if (i % 10 != 0) continue;
        // Now and then beyond one word of state.
        if (i % 1000 == 0) {
            pattern = randomText(random, "ab*?", 150);
            text = randomText(random, "ab*?", 150);
        }
        const std::string mixed = randomText(random, "abAB*?", i % 1000 == 0 ? 160 : 9);
        const Quilna::WildcardPattern forward(pattern);
        const Quilna::WildcardText reverse(text);
        std::vector<uint64_t> state(forward.stateWords()), reached(reverse.stateWords());
        forward.start(state.data());
        reverse.start(reached.data());
        for (size_t n = 1; n <= mixed.size(); ++n) {
            forward.feed(state.data(), std::string_view(mixed).substr(n - 1, 1));
            reverse.feed(reached.data(), std::string_view(mixed).substr(n - 1, 1));
            const std::string prefix = Quilna::StringUtils::lowerCopy(mixed.substr(0, n));
            if (forward.matches(state.data()) != referenceMatch(pattern, prefix) && ++mismatches < 10)
                ADD_FAILURE() << "pattern \"" << pattern << "\" fed \"" << mixed.substr(0, n) << "\"";
            if (reverse.matchesWithStar(reached.data()) != referenceMatch(prefix + "*", text) && ++mismatches < 10)
                ADD_FAILURE() << "text \"" << text << "\" fed \"" << prefix << "*\"";
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Many stars with a literal tail that never matches: a backtracking matcher would not end.
TEST(WildcardMatch, LongPatterns) {
    std::mt19937 random(99);
    std::string stars = randomText(random, "*?", 10000);
    while (stars.size() < 10000) stars += '*';
    std::string text(10000, 'a');
    std::string hopeless;
    for (int i = 0; i < 5000; ++i) hopeless += "*a";
    hopeless += 'b';
    const std::string almost = std::string(9999, 'a') + 'c';

    EXPECT_TRUE(wildcardMatch(stars, text));
    EXPECT_FALSE(wildcardMatch(hopeless, text));
    EXPECT_TRUE(wildcardMatch(std::string(10000, '?'), almost));
    EXPECT_TRUE(wildcardMatchNoCase(stars + "C", almost));
}

}  // namespace
