// Any file type mapping file ends in a loaded mapping or a reported error; classifying files
// by the loaded mapping terminates and collects only lower-case extensions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzRules.h"
#include "config/ConfReader.h"
#include "hoardscan/FileTypes.h"
#include "hoardscan/Tallies.h"
#include "logger/ConfigurationLog.h"

using namespace Quilna;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRules::Chain& log = FuzzRules::chain();
    LoggerUnit& logger = log.unit();
    static ConfReader reader{makeSmart<ConfigurationLog>(log.centre())};
    Tallies tallies;
    FileTypes types(logger, reader, tallies);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    bool loaded = types.loadFileTypeMappingText(text, "fuzz.txt");
    FuzzRules::requireLoadOutcome(loaded, log);

    types.setScheme(FileTypes::Mapping);
    types.setCollectExtensions(true);
    FileStatus status;
    std::string fileSystem, fileType;
    for (uint16_t attributes : {0, 0x10, 0x80 | 0x400, 0xFFFF}) {
        status.exists = attributes != 0xFFFF;
        status.attributes = attributes;
        for (const char* name : {"Report.DOC", "photo.png", "noext", "a.b.JPEG", ".hidden", "trailing."}) {
            types.fileFacts("/data/Bin/", name, "/", status, fileSystem, fileType);
            FuzzRules::require(fileSystem == "/");
            FuzzRules::require(!fileType.empty() || types.defaultType().empty());
        }
    }
    for (const std::string& extension : tallies.extensionLines()) FuzzRules::require(!FuzzRules::hasUpper(extension));
    return 0;
}
