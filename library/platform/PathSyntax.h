#pragma once

namespace Quilna {

// How paths are written on this platform.
struct PathSyntax {
    char separator = '/';               // the separator written
    bool backslashIsSeparator = false;  // "\" and "/" both read as separators
    bool driveLetters = false;          // "C:" roots and ":\" in absolute paths
    bool networkPaths = false;          // "\\server\share" paths
    bool caseInsensitive = false;       // paths compare without case
};

}  // namespace Quilna
