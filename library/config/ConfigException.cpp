#include "config/ConfigException.h"

namespace Quilna {

const char* ConfigException::codeName(int32_t code) {
    switch (code) {
        case 0: return "CF_MEM";
        case 1: return "CF_CONF";
        case 2: return "CF_CANNOT_UNCOMPRESS";
        default: return "";
    }
}

const char* ConfigException::codeText() const {
    switch (code()) {
        case 0: return "Out of memory.";
        case 1: return "Error in conf file.";
        case 2: return "Unable to decompress buffer.";
        default: return "";
    }
}

}  // namespace Quilna
