#include "collector/InstalledCatalogue.h"

#include "config/ConfReader.h"
#include "config/Resources.h"
#include "files/FileUtils.h"
#include "platform/Platform.h"

namespace Quilna {

bool installedCatalogueDirectory(Platform& system, std::string& directory, std::string& why) {
    std::string configuration;
    if (readResource(system, system, "ConfigurationDir", configuration, &why) != ResourceResult::Ok) {
        if (why.empty()) why = "the installation's resource ConfigurationDir names no configuration directory";
        return false;
    }
    FileUtils::normaliseSeparators(system.pathSyntax(), configuration);
    FileUtils::addSeparator(system.pathSyntax(), configuration);
    configuration += "hoardscan.conf";
    // Silent, and what was read before a syntax error counts, as for the scan, which reports
    // what is wrong with its configuration.
    ConfReader reader{system, SmartPointer<ConfReports>()};
    reader.buildTree(configuration);
    if (reader.getDirName("Quilna.directories.conf", directory) == ConfResult::Found) return true;
    why = configuration + " cannot be read or names no directory in Quilna.directories.conf";
    return false;
}

}  // namespace Quilna
