#include "hoardscan/walk/DrivePaths.h"

#include "text/StringUtils.h"

namespace Quilna::DrivePaths {

std::string comparable(const PathSyntax& syntax, const std::string& path) {
    std::string text = path;
    auto isSeparator = [&](char c) { return c == '/' || (syntax.backslashIsSeparator && c == '\\'); };
    while (text.size() > 1 && isSeparator(text.back())) text.pop_back();
    if (syntax.caseInsensitive) StringUtils::toLower(text);
    return text;
}

}  // namespace Quilna::DrivePaths
