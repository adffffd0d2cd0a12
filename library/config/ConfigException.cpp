#include "config/ConfigException.h"

namespace Quilna {

const char* ConfigException::codeText() const {
    switch (code()) {
        case 0: return "Out of memory.";
        case 1: return "Error in conf file.";
        case 2: return "Unable to decompress buffer.";
        default: return "";
    }
}

}  // namespace Quilna
