// The matcher agrees with a plain dynamic-programming matcher on short inputs, and the
// case-blind matcher with the matcher on lower-cased copies; long inputs finish in time.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzRules.h"
#include "hoardscan/WildcardMatch.h"

using namespace Quilna;

namespace {

bool referenceMatch(const std::string& pattern, const std::string& text) {
    if (pattern == "*") return true;
    if (pattern == "?") return text.size() == 1;
    if (text.empty()) return false;
    if (pattern == "?*") return true;
    std::string p;
    for (char c : pattern)
        if (!((c == '*' || c == '?') && !p.empty() && p.back() == '*')) p += c;
    std::vector<std::vector<char>> dp(p.size() + 1, std::vector<char>(text.size() + 1, 0));
    dp[0][0] = 1;
    for (size_t i = 1; i <= p.size(); ++i)
        for (size_t j = 0; j <= text.size(); ++j)
            dp[i][j] = p[i - 1] == '*' ? (dp[i - 1][j] || (j > 0 && dp[i][j - 1]))
                                       : (j > 0 && dp[i - 1][j - 1] && (p[i - 1] == '?' || p[i - 1] == text[j - 1]));
    return dp[p.size()][text.size()];
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find('\0');
    if (cut == std::string::npos) cut = input.size() / 2;
    std::string pattern = input.substr(0, cut);
    std::string text = cut < input.size() ? input.substr(cut + 1) : std::string();

    bool matched = wildcardMatch(pattern, text);
    if (pattern.size() <= 200 && text.size() <= 200) FuzzRules::require(matched == referenceMatch(pattern, text));
    FuzzRules::require(wildcardMatchNoCase(pattern, text) == wildcardMatch(lower(pattern), lower(text)));
    return 0;
}
