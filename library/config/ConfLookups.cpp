// The lookups of ConfReader: paths, reference expansion and the typed getters.
#include "config/ConfReader.h"
#include "platform/Platform.h"
#include "config/DOMNode.h"
#include "files/FileUtils.h"
#include "text/StringUtils.h"
#include "time/TimeException.h"
#include "time/TimeSpan.h"

namespace Quilna {

namespace {

constexpr int32_t kBadReference = 3;  // catalogue message of the Configuration module

const char* const kString = "String";
const char* const kBool = "Bool";
const char* const kInteger = "Integer";
const char* const kDirName = "DirName";
const char* const kFileName = "FileName";
const char* const kTimeSpan = "TimeSpan";

}  // namespace

const DOMNode* ConfReader::find(const std::string& path) const {
    const DOMNode* node = root_.get();
    std::string rest = path;
    do {
        if (rest.empty() || !node) return nullptr;
        node = node->child(StringUtils::splitFirst(rest, '.'));
    } while (!rest.empty());
    return node;
}

int ConfReader::get(const std::string& path, const std::string& type, std::string& value) const {
    if (debugOn(5)) debug(5, "ConfReader: Getting %s %s...", ParamStream() << type << path);
    const DOMNode* node = find(path);
    if (!node) {
        debug(5, "ConfReader: Not found.");
        return ConfResult::NotFound;
    }
    if (node->type().empty()) {
        debug(5, "ConfReader: Found, but has no value.");
        return ConfResult::NoValue;
    }
    if (node->type() != type) {
        if (debugOn(1))
            debug(1, "ConfReader: Found, but type is \"%s\", not \"%s\".", ParamStream() << node->type() << type);
        return ConfResult::WrongType;
    }
    std::string text = node->value();
    if (debugOn(5)) debug(5, "ConfReader: Got raw value \"%s\".", ParamStream() << text);
    if (int result = expandReferences(path, text); result != ConfResult::Found) return result;
    if (type == kDirName && !text.empty()) {
        FileUtils::normaliseSeparators(system_.pathSyntax(), text);
        FileUtils::addSeparator(system_.pathSyntax(), text);
    } else if (type == kFileName) {
        FileUtils::normaliseSeparators(system_.pathSyntax(), text);
    }
    if (debugOn(5)) debug(5, "ConfReader: Got final value \"%s\".", ParamStream() << text);
    value = std::move(text);
    return ConfResult::Found;
}

// Replaces each ${name} by the raw value of the entry at that path, then looks again from where
// the reference stood, so that references brought in by a substitution are expanded too. A
// value that refers to itself would never end: more than maxSubstitutions substitutions are a
// loop; and a value that grows beyond maxExpandedLength is refused, so that a few references to
// a large value cannot take the memory.
int ConfReader::expandReferences(const std::string& path, std::string& value) const {
    int substitutions = 0;
    for (size_t open = value.find("${"); open != std::string::npos; open = value.find("${", open == 0 ? 0 : open - 1)) {
        const size_t close = value.find('}', open);
        if (close == std::string::npos) {
            error(kBadReference, ParamStream() << path << "no closing brace");
            return ConfResult::UnclosedReference;
        }
        if (++substitutions > maxSubstitutions) {
            error(kBadReference, ParamStream() << path << "reference loop");
            return ConfResult::ReferenceLoop;
        }
        const std::string name = value.substr(open + 2, close - open - 2);
        const DOMNode* referenced = find(name);
        if (!referenced) {
            debug(5, "ConfReader: Found, but reference inside value was not.");
            return ConfResult::NotFound;
        }
        if (referenced->type().empty()) {
            debug(5, "ConfReader: Found, but reference inside value didn't have a value.");
            return ConfResult::NoValue;
        }
        const std::string& text = referenced->value();
        const bool separator = referenced->type() == kDirName && !text.empty() &&
                               !FileUtils::isSeparator(system_.pathSyntax(), text.back());
        if (value.size() - (close - open + 1) + text.size() + (separator ? 1 : 0) > maxExpandedLength) {
            error(kBadReference, ParamStream() << path
                                               << "its value grows beyond " + std::to_string(maxExpandedLength) +
                                                      " bytes with the reference ${" + name + "}");
            return ConfResult::TooLong;
        }
        if (debugOn(5)) debug(5, "ConfReader: Reference \"%s\" = \"%s\".", ParamStream() << name << text);
        value.replace(open, close - open + 1, text);
        if (separator) value.insert(open + text.size(), 1, system_.pathSyntax().separator);
    }
    return ConfResult::Found;
}

int ConfReader::getString(const std::string& path, std::string& out, bool trim, bool lower) const {
    std::string value;
    if (int result = get(path, kString, value); result != ConfResult::Found) return result;
    if (trim) StringUtils::trim(value);
    if (lower) StringUtils::toLower(value);
    out = std::move(value);
    return ConfResult::Found;
}

int ConfReader::getBool(const std::string& path, bool& out) const {
    std::string value;
    if (int result = get(path, kBool, value); result != ConfResult::Found) return result;
    StringUtils::toLower(value);
    if (value == "true") out = true;
    else if (value == "false") out = false;
    else return ConfResult::NotBool;
    return ConfResult::Found;
}

int ConfReader::getInteger(const std::string& path, int32_t& out) const {
    std::string value;
    if (int result = get(path, kInteger, value); result != ConfResult::Found) return result;
    // Read as the C library reads it ("12abc" is 12), but a number beyond 32 bits is refused
    // rather than cut to the largest one.
    const std::optional<int32_t> number = StringUtils::toInt32InRange(value);
    if (!number) return ConfResult::Invalid;
    out = *number;
    return ConfResult::Found;
}

int ConfReader::getDirName(const std::string& path, std::string& out) const {
    std::string value;
    if (int result = get(path, kDirName, value); result != ConfResult::Found) return result;
    out = StringUtils::trim(value);
    return ConfResult::Found;
}

int ConfReader::getFileName(const std::string& path, std::string& out) const {
    std::string value;
    if (int result = get(path, kFileName, value); result != ConfResult::Found) return result;
    // Checked after trimming: a blank after a final separator must not hide it.
    StringUtils::trim(value);
    if (!FileUtils::isValidFileName(system_.pathSyntax(), value)) return ConfResult::Invalid;
    out = std::move(value);
    return ConfResult::Found;
}

int ConfReader::getTimeSpan(const std::string& path, TimeSpanParts& out) const {
    std::string value;
    if (int result = get(path, kTimeSpan, value); result != ConfResult::Found) return result;
    try {
        out = TimeSpan::parse(value);
    } catch (const TimeException&) {
        return ConfResult::Invalid;
    }
    return ConfResult::Found;
}

}  // namespace Quilna
