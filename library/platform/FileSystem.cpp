// The defaults of the file slice for backends that keep no rules of their own for writing.
#include "platform/FileSystem.h"

namespace Quilna {

std::string FileSystem::writeRefusal(const std::string&) { return std::string(); }

std::string FileSystem::directoryAccessRefusal(const std::string&) { return std::string(); }

}  // namespace Quilna
