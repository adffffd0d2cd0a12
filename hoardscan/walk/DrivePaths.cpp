#include "hoardscan/walk/DrivePaths.h"

#include "platform/Platform.h"
#include "text/StringUtils.h"

namespace Quilna::DrivePaths {

std::string comparable(const std::string& path) {
    const PathSyntax& syntax = platform().pathSyntax();
    std::string text = path;
    auto isSeparator = [&](char c) { return c == '/' || (syntax.backslashIsSeparator && c == '\\'); };
    while (text.size() > 1 && isSeparator(text.back())) text.pop_back();
    if (syntax.caseInsensitive) StringUtils::toLower(text);
    return text;
}

}  // namespace Quilna::DrivePaths
