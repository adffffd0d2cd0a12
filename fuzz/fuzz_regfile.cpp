// Registry key files as the POSIX backend reads and edits them: serialising is stable and keeps the
// values; a stored string (the input's last bytes) reads back, and the other values stay.
#include <algorithm>
#include <tuple>
#include <vector>

#include "FuzzCheck.h"
#include "platform/posix/RegFile.h"
#include "text/TextEncoding.h"

using namespace Quilna;
using Fuzz::require;

namespace {

const char* const kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources";
const char* const kKeyOtherCase = "hkey_local_machine\\software\\QUILNA\\resources";
const char* const kNames[] = {"ConfigurationDir",   "HoardscanDebugLog",   "StartupLogDir", "StartupDebugLevel",
                              "HoardscanLogOpened", "HoardscanLogCounter", "Root",          ""};

using Value = std::tuple<bool, uint32_t, std::string>;  // found, type, data

std::vector<Value> probe(const RegFile& file, const char* key) {
    std::vector<Value> values(std::size(kNames));
    for (size_t i = 0; i < std::size(kNames); ++i)
        std::get<0>(values[i]) = file.find(key, kNames[i], std::get<1>(values[i]), std::get<2>(values[i]));
    return values;
}

void checkStoredValue(RegFile& file, const std::string& value) {
    const std::vector<Value> before = probe(file, kKey);
    const size_t stored = value.size() % std::size(kNames);
    file.setString(kKey, kNames[stored], value);

    // UTF-16 files and hex lists carry only UTF-8 whole.
    const std::string written = file.serialize();
    const bool utf16 = written.size() >= 2 && written[0] == '\xFF' && written[1] == '\xFE';
    const bool control = std::any_of(value.begin(), value.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
    if (!TextEncoding::isValidUtf8(value) && (utf16 || control)) return;
    RegFile reread;
    require(reread.parse(written), "a written file parses");
    const std::vector<Value> after = probe(reread, kKey);
    for (size_t i = 0; i < std::size(kNames); ++i) {
        if (i == stored) require(after[i] == Value{true, 1, value}, "a stored value reads back from the written file");
        else require(after[i] == before[i], "storing a value leaves the others as they were");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Fuzz::text(data, size);
    const std::string value = bytes.substr(bytes.size() - std::min<size_t>(bytes.size(), 48));
    RegFile file;
    if (file.parse(bytes)) {
        require(probe(file, kKey) == probe(file, kKeyOtherCase), "keys compare without case");
        const std::string text = file.serialize();
        RegFile again;
        require(again.parse(text), "a serialised file parses");
        require(again.serialize() == text, "serialising is stable");
        require(probe(again, kKey) == probe(file, kKey), "serialising keeps the values");
    } else {
        file.clear();
    }
    checkStoredValue(file, value);
    return 0;
}
