#include "text/ParamStream.h"

#include <sstream>

#include "text/StringUtils.h"

namespace Quilna {

namespace {
// The standard stream text of a number ("42", "0.5", "1e+20").
template <typename T>
std::string streamText(T value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
}  // namespace

ParamStream& ParamStream::number(const std::string& value) {
    text_ += 'n';
    text_ += value;
    text_ += kParameterSeparator;
    return *this;
}

ParamStream& ParamStream::operator<<(int value) { return number(std::to_string(value)); }
ParamStream& ParamStream::operator<<(unsigned value) { return number(std::to_string(value)); }
ParamStream& ParamStream::operator<<(long value) { return number(std::to_string(value)); }
ParamStream& ParamStream::operator<<(unsigned long value) { return number(std::to_string(value)); }
ParamStream& ParamStream::operator<<(long long value) { return number(std::to_string(value)); }
ParamStream& ParamStream::operator<<(unsigned long long value) { return number(std::to_string(value)); }
ParamStream& ParamStream::operator<<(double value) { return number(streamText(value)); }

ParamStream& ParamStream::operator<<(const char* value) { return escapedText(value ? value : ""); }
ParamStream& ParamStream::operator<<(const std::string& value) { return escapedText(value); }

// Escaped, a text holds no separator: each one is given its own.
ParamStream& ParamStream::escapedText(std::string_view value) {
    text_ += 's';
    StringUtils::appendEscapedControls(text_, value);
    text_ += kParameterSeparator;
    return *this;
}

}  // namespace Quilna
