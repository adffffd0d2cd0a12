#include "core/Exception.h"

namespace Quilna {

Exception::Exception(int32_t code) : code_(code) {}

Exception::Exception(int32_t code, std::string detail, const std::string& sourceUnit, int32_t line)
    : code_(code), detail_(std::move(detail)) {
    addLocation(sourceUnit, line);
}

const char* Exception::domainName() const { return "Exception"; }
const char* Exception::codeText() const { return nullptr; }
int32_t Exception::domainId() const { return 63; }

std::string& Exception::describe(std::string& out) const { return describeAs(out); }

std::string& Exception::describeAs(std::string& out) const {
    const char* text = codeText();
    out = domainName();
    out += ": ";
    out += (text && *text) ? text : "Unknown error";
    out += " (Code: " + std::to_string(domainId()) + "." + std::to_string(code_) + ")";
    return out;
}

std::string& Exception::fullText(std::string& out) const {
    describe(out);
    if (!detail_.empty()) out += "\r\n  >  (" + detail_ + ")";
    if (!locations_.empty()) {
        out += "\r\n  >  ";
        for (size_t i = 0; i < locations_.size(); ++i) {
            if (i > 0) out += " - ";
            out += locations_[i].first + "(" + std::to_string(locations_[i].second) + ")";
        }
    }
    return out;
}

const char* Exception::what() const noexcept {
    try {
        describe(what_);
        if (!detail_.empty()) what_ += " (" + detail_ + ")";
        return what_.c_str();
    } catch (...) {
        return domainName();
    }
}

std::string Exception::fullText() const {
    std::string text;
    return fullText(text);
}

void Exception::addLocation(const std::string& sourceUnit, int32_t line) {
    if (sourceUnit.empty()) return;
    std::string unit = sourceUnit;
    const size_t slash = unit.find_last_of("\\/");
    if (slash != std::string::npos) unit.erase(0, slash + 1);
    const size_t dot = unit.rfind('.');
    if (dot != std::string::npos) unit.erase(dot);
    locations_.emplace_back(unit, line);
}

}  // namespace Quilna
