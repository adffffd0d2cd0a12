#include "common/Resources.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/SystemInfo.h"
#include "platform/Platform.h"

namespace Quilna {

namespace {

const char* const kResourceKey = "SOFTWARE\\Quilna\\Resources";
const char* const kWow64ResourceKey = "SOFTWARE\\Wow6432Node\\Quilna\\Resources";

// Reads of nested references one top-level read may make; keeps a value full of references
// to references from taking exponential time within the nesting limit.
constexpr int kReferenceBudget = 4096;

bool isStringType(uint32_t type) {
    return type == RegistryType::String || type == RegistryType::ExpandString ||
           type == RegistryType::MultiString;
}

int readRaw(const std::string& name, uint32_t& type, std::string& data) {
    return platform().readRegistry(resourceKeyPath(), name, isWow64(), type, data);
}

int readExpanded(const std::string& name, std::string& out, int depth, int& budget);

// Replaces each ${name} by the resource of that name; a reference that cannot be read, or
// lies too deep, stays as written.
void expandReferences(std::string& text, int depth, int& budget) {
    size_t at = text.find("${");
    while (at != std::string::npos && at + 3 < text.size()) {
        const size_t close = text.find('}', at);
        if (close == std::string::npos) return;
        const std::string name = text.substr(at + 2, close - at - 2);
        std::string value;
        if (depth < kResourceNestingLimit && budget > 0 && readExpanded(name, value, depth + 1, budget) == 0) {
            text = text.substr(0, at) + value + text.substr(close + 1);
            at = text.find("${", at + value.size());
        } else {
            at = text.find("${", close + 1);
        }
    }
}

int readExpanded(const std::string& name, std::string& out, int depth, int& budget) {
    --budget;
    uint32_t type = 0;
    std::string data;
    const int result = readRaw(name, type, data);
    if (result != ResourceResult::Ok) return result;
    if (!isStringType(type)) return ResourceResult::WrongType;
    while (!data.empty() && data.back() == '\0') data.pop_back();
    expandReferences(data, depth, budget);
    out = data;
    return ResourceResult::Ok;
}

}  // namespace

std::string resourceKeyPath() {
    std::string key;
    if (getEnv("QUILNA_ENV", key)) return key;
    return isWow64() ? kWow64ResourceKey : kResourceKey;
}

int readResource(const std::string& name, std::string& out) {
    try {
        int budget = kReferenceBudget;
        return readExpanded(name, out, 0, budget);
    } catch (const std::bad_alloc&) {
        return ResourceResult::OutOfMemory;
    }
}

int readResourceDword(const std::string& name, uint32_t& out) {
    uint32_t type = 0;
    std::string data;
    const int result = readRaw(name, type, data);
    if (result != ResourceResult::Ok) return ResourceResult::Missing;
    if (type != RegistryType::Dword) return ResourceResult::WrongType;
    // A value shorter than a dword fills the low bytes; the rest are zero, not left over.
    out = 0;
    std::memcpy(&out, data.data(), std::min(data.size(), sizeof out));
    return ResourceResult::Ok;
}

int writeResource(const std::string& name, const std::string& value) {
    return platform().writeRegistryString(resourceKeyPath(), name, value, isWow64()) ? ResourceResult::Ok : 1;
}

bool getEnv(const std::string& name, std::string& out) { return platform().getEnv(name, out); }

}  // namespace Quilna
