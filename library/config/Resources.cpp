#include "config/Resources.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <utility>

#include "system/SystemInfo.h"

namespace Quilna {

namespace {

const char* const kResourceKey = "SOFTWARE\\Quilna\\Resources";
const char* const kWow64ResourceKey = "SOFTWARE\\Wow6432Node\\Quilna\\Resources";

// Reads of nested references one top-level read may make; keeps a value full of references
// to references from taking exponential time within the nesting limit.
constexpr int kReferenceBudget = 4096;

bool isStringType(uint32_t type) {
    return type == RegistryType::String || type == RegistryType::ExpandString || type == RegistryType::MultiString;
}

int readRaw(Registry& registry, SystemServices& services, const std::string& name, uint32_t& type, std::string& data,
            SystemError& error) {
    if (registry.readRegistry(resourceKeyPath(services), name, isWow64(services), type, data, error))
        return ResourceResult::Ok;
    return error.kind == ErrorKind::NoMemory ? ResourceResult::OutOfMemory : ResourceResult::Missing;
}

// One top-level read: what it may still read, and the values it has expanded, by name and
// depth (a value expanded deeper may keep references that a shallower read expands).
struct Expansion {
    Expansion(Registry& registryIn, SystemServices& servicesIn) : registry(registryIn), services(servicesIn) {}
    Registry& registry;
    SystemServices& services;
    int budget = kReferenceBudget;
    std::map<std::pair<std::string, int>, std::string> expanded;
    std::string tooLong;     // the resource whose value grew beyond the limit
    std::string unreadable;  // the platform's word on the last read that found no value
};

int readExpanded(const std::string& name, std::string& out, int depth, Expansion& expansion);

// Replaces each ${name} by the resource of that name; a reference that cannot be read, or
// lies too deep, stays as written. The text is built once from left to right, so that many
// references cost their values' length, not the value's length each. False when it grows
// beyond the limit.
bool expandReferences(std::string& text, int depth, Expansion& expansion) {
    std::string out;
    size_t copied = 0;
    size_t at = text.find("${");
    while (at != std::string::npos && at + 3 < text.size()) {
        const size_t close = text.find('}', at);
        if (close == std::string::npos) break;
        const std::string name = text.substr(at + 2, close - at - 2);
        std::string value;
        if (depth < kResourceNestingLimit && expansion.budget > 0 &&
            readExpanded(name, value, depth + 1, expansion) == ResourceResult::Ok) {
            if (out.size() + (at - copied) + value.size() > kResourceLengthLimit) return false;
            out.append(text, copied, at - copied).append(value);
            copied = close + 1;
        } else if (!expansion.tooLong.empty()) {
            return false;
        }
        at = text.find("${", close + 1);
    }
    if (copied == 0) return text.size() <= kResourceLengthLimit;
    if (out.size() + (text.size() - copied) > kResourceLengthLimit) return false;
    text = out.append(text, copied, std::string::npos);
    return true;
}

int readExpanded(const std::string& name, std::string& out, int depth, Expansion& expansion) {
    const auto key = std::make_pair(name, depth);
    if (const auto known = expansion.expanded.find(key); known != expansion.expanded.end()) {
        out = known->second;
        return ResourceResult::Ok;
    }
    --expansion.budget;
    uint32_t type = 0;
    std::string data;
    SystemError error;
    const int result = readRaw(expansion.registry, expansion.services, name, type, data, error);
    if (result != ResourceResult::Ok) {
        expansion.unreadable = error.detail;
        return result;
    }
    if (!isStringType(type)) return ResourceResult::WrongType;
    while (!data.empty() && data.back() == '\0') data.pop_back();
    if (!expandReferences(data, depth, expansion)) {
        if (expansion.tooLong.empty()) expansion.tooLong = name;
        return ResourceResult::TooLong;
    }
    out = expansion.expanded.emplace(key, std::move(data)).first->second;
    return ResourceResult::Ok;
}

}  // namespace

std::string resourceKeyPath(SystemServices& services) {
    std::string key;
    if (getEnv(services, "QUILNA_ENV", key)) return key;
    return isWow64(services) ? kWow64ResourceKey : kResourceKey;
}

int readResource(Registry& registry, SystemServices& services, const std::string& name, std::string& out,
                 std::string* why) {
    try {
        Expansion expansion(registry, services);
        const int result = readExpanded(name, out, 0, expansion);
        if (result == ResourceResult::TooLong && why) {
            *why = "the resource " + name + " is longer than " + std::to_string(kResourceLengthLimit) +
                   " bytes once its references are expanded";
            if (expansion.tooLong != name) *why += " (in the value of " + expansion.tooLong + ")";
        }
        if (result == ResourceResult::Missing && why) *why = expansion.unreadable;
        return result;
    } catch (const std::bad_alloc&) {
        return ResourceResult::OutOfMemory;
    }
}

int readResourceDword(Registry& registry, SystemServices& services, const std::string& name, uint32_t& out) {
    uint32_t type = 0;
    std::string data;
    SystemError error;
    const int result = readRaw(registry, services, name, type, data, error);
    if (result != ResourceResult::Ok) return ResourceResult::Missing;
    if (type != RegistryType::Dword) return ResourceResult::WrongType;
    // A value shorter than a dword fills the low bytes; the rest are zero, not left over.
    out = 0;
    std::memcpy(&out, data.data(), std::min(data.size(), sizeof out));
    return ResourceResult::Ok;
}

int writeResource(Registry& registry, SystemServices& services, const std::string& name, const std::string& value,
                  std::string* why) {
    SystemError error;
    if (registry.writeRegistryString(resourceKeyPath(services), name, value, isWow64(services), error))
        return ResourceResult::Ok;
    if (why) *why = error.detail;
    return 1;
}

bool getEnv(SystemServices& services, const std::string& name, std::string& out) { return services.getEnv(name, out); }

}  // namespace Quilna
