// Registry key files as the POSIX backend reads and edits them. A file that parses serialises
// to text that parses to the same values and serialises to itself; storing a string value
// (the input's last bytes) reads back as stored, also from the written file, and leaves the other
// values as they were.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "text/TextEncoding.h"
#include "platform/posix/RegFile.h"

using namespace Quilna;
using Fuzz::require;

namespace {

const char* const kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quilna\\Resources";
const char* const kKeyOtherCase = "hkey_local_machine\\software\\QUILNA\\resources";
const char* const kNames[] = {"ConfigurationDir",   "HoardscanDebugLog",   "StartupLogDir", "StartupDebugLevel",
                              "HoardscanLogOpened", "HoardscanLogCounter", "Root",          ""};

struct Value {
    bool found = false;
    uint32_t type = 0;
    std::string data;
    bool operator==(const Value&) const = default;
};

std::vector<Value> probe(const RegFile& file, const char* key) {
    std::vector<Value> values;
    for (const char* name : kNames) {
        Value value;
        value.found = file.find(key, name, value.type, value.data);
        values.push_back(value);
    }
    return values;
}

bool hasControlBytes(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
    return false;
}

bool isUtf16(const std::string& bytes) { return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE'; }

void checkStoredValue(RegFile& file, const std::string& value) {
    const std::vector<Value> before = probe(file, kKey);
    const char* const name = kNames[value.size() % (sizeof kNames / sizeof kNames[0])];
    file.setString(kKey, name, value);

    // Text that 8 bits carry as they are; UTF-16 files and hex lists need UTF-8 to carry it whole.
    const std::string written = file.serialize();
    if (!TextEncoding::isValidUtf8(value) && (isUtf16(written) || hasControlBytes(value))) return;
    Value stored{true, 1, value};
    RegFile reread;
    require(reread.parse(written), "a written file parses");
    const std::vector<Value> after = probe(reread, kKey);
    for (size_t i = 0; i < after.size(); ++i) {
        if (kNames[i] == name) require(after[i] == stored, "a stored value reads back from the written file");
        else require(after[i] == before[i], "storing a value leaves the others as they were");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Fuzz::text(data, size);
    // The file's own last bytes: quotes, backslashes, line ends and zeros, as mutated.
    const std::string value = bytes.substr(bytes.size() - std::min<size_t>(bytes.size(), 48));

    RegFile file;
    if (!file.parse(bytes)) {
        file.clear();
        checkStoredValue(file, value);
        return 0;
    }
    require(probe(file, kKey) == probe(file, kKeyOtherCase), "keys compare without case");
    const std::string text = file.serialize();
    RegFile again;
    require(again.parse(text), "a serialised file parses");
    require(again.serialize() == text, "serialising is stable");
    require(probe(again, kKey) == probe(file, kKey), "serialising keeps the values");
    checkStoredValue(file, value);
    return 0;
}
