#pragma once
#include <cstdint>
#include <string>

namespace Quilna {

// One piece of text cut by a Tokenizer: a run of whitespace (not significant) or anything else.
class Token {
public:
    virtual ~Token() = default;

    std::string text;
    uint8_t significant = 0;  // 0 whitespace, 1 everything else
};

}  // namespace Quilna
