#include "text/ParamStream.h"

#include <sstream>

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

ParamStream& ParamStream::operator<<(const char* value) { return *this << std::string(value ? value : ""); }

ParamStream& ParamStream::operator<<(const std::string& value) {
    text_ += 's';
    text_ += value;
    // A text that already ends in the separator is not given a second one.
    if (value.empty() || value.back() != kParameterSeparator) text_ += kParameterSeparator;
    return *this;
}

}  // namespace Quilna
