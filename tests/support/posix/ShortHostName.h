#pragma once
// The host name as owners are named on POSIX ("\\HOST\user"), up to the first dot, in capitals:
// read from the system directly, so the tests do not check the program against itself.

#include <unistd.h>

#include <cctype>
#include <string>

namespace Quilna::TestSupport {

inline std::string upperShortHostName() {
    char buffer[256] = {};
    ::gethostname(buffer, sizeof buffer - 1);
    std::string host(buffer);
    host = host.substr(0, host.find('.'));
    for (char& c : host) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return host;
}

}  // namespace Quilna::TestSupport
