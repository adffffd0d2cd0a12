#pragma once
// The host name as owners name it ("\\HOST\user"), read from the system rather than the program.

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
