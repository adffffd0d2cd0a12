#include "ipc/IPCEnvelope.h"

#include <string_view>

namespace Quilna {

std::string IPCEnvelope::build() const {
    std::string message;
    message.reserve(16 + type.size() + second.size() + payload.size() + extra.size());
    // Views, not copies: the payload is a whole log record.
    for (std::string_view field :
         {std::string_view(magic), std::string_view(type), std::string_view(second), std::string_view(payload)}) {
        message += field;
        message += separator;
    }
    if (!extra.empty()) {
        message += extra;
        message += separator;
    }
    return message;
}

bool IPCEnvelope::parse(const std::string& message, IPCEnvelope& out) {
    std::string text = message;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    const std::string head = std::string(magic) + separator;
    if (text.compare(0, head.size(), head) != 0) return false;
    const size_t typeEnd = text.find(separator, head.size());
    if (typeEnd == std::string::npos) return false;
    const size_t secondEnd = text.find(separator, typeEnd + 1);
    if (secondEnd == std::string::npos || text.back() != separator || text.size() - 1 <= secondEnd) return false;
    out.type = text.substr(head.size(), typeEnd - head.size());
    out.second = text.substr(typeEnd + 1, secondEnd - typeEnd - 1);
    out.payload = text.substr(secondEnd + 1, text.size() - secondEnd - 2);
    out.extra.clear();
    return true;
}

}  // namespace Quilna
