// Any temperatures file ends in loaded bands or a reported error; the bands follow each other
// and every age finds its temperature without overflow.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzRules.h"
#include "config/ConfReader.h"
#include "hoardscan/Temperatures.h"
#include "logger/ConfigurationLog.h"

using namespace Quilna;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRules::Chain& log = FuzzRules::chain();
    LoggerUnit& logger = log.unit();
    static ConfReader reader{makeSmart<ConfigurationLog>(log.centre())};
    Temperatures temperatures(logger, reader);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    bool loaded = temperatures.loadTemperaturesText(text, "fuzz.txt");
    FuzzRules::requireLoadOutcome(loaded, log);

    const auto& access = temperatures.accessBands();
    const auto& modify = temperatures.modifyBands();
    FuzzRules::require(access.size() == modify.size());
    int64_t previous = -1;
    for (size_t i = 0; i < access.size(); ++i) {
        FuzzRules::require(access[i].name == modify[i].name && !access[i].name.empty());
        FuzzRules::require(access[i].minDays == (previous + 1 > INT32_MAX ? INT32_MAX : previous + 1));
        previous = access[i].maxDays;
    }
    FileStatus status;
    status.exists = true;
    for (int32_t seconds : {0, 1000000000, INT32_MAX}) {
        status.accessed = DateTime(seconds);
        status.modified = DateTime(INT32_MAX - seconds);
        std::string accessName = "UNKNOWN", modifyName = "UNKNOWN";
        temperatures.temperaturesOf("f", accessName, modifyName, status);
    }
    return 0;
}
