#include "collector/InstalledCatalogue.h"

#include "config/ConfReader.h"
#include "config/Resources.h"
#include "files/FileUtils.h"
#include "platform/Platform.h"

namespace Quilna {

bool installedCatalogueDirectory(std::string& directory, std::string& why) {
    std::string configuration;
    if (readResource("ConfigurationDir", configuration, &why) != ResourceResult::Ok) {
        if (why.empty()) why = "the installation's resource ConfigurationDir names no configuration directory";
        return false;
    }
    FileUtils::normaliseSeparators(platform().pathSyntax(), configuration);
    FileUtils::addSeparator(platform().pathSyntax(), configuration);
    configuration += "hoardscan.conf";
    // Silent, and what was read before a syntax error counts, as for the scan, which reports
    // what is wrong with its configuration.
    ConfReader reader{SmartPointer<ConfReports>()};
    reader.buildTree(configuration);
    if (reader.getDirName("Quilna.directories.conf", directory) == ConfResult::Found) return true;
    why = configuration + " cannot be read or names no directory in Quilna.directories.conf";
    return false;
}

}  // namespace Quilna
