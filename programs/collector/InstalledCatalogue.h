#pragma once
// Where the collector finds the message catalogue without -m: where the scan finds it.

#include <string>

namespace Quilna {

class Platform;

// The directory that holds LogMessages: the installation's resource ConfigurationDir names the
// configuration directory, whose hoardscan.conf names it in Quilna.directories.conf. False with
// the reason when any step fails.
bool installedCatalogueDirectory(Platform& system, std::string& directory, std::string& why);

}  // namespace Quilna
