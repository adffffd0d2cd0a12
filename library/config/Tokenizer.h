#pragma once
#include <memory>
#include <string>

#include "config/StringSearcher.h"
#include "config/Token.h"

namespace Quilna {

// Walks a text token by token with a searcher. The text must outlive the tokenizer.
class Tokenizer {
public:
    // The searcher stays the caller's.
    Tokenizer(const std::string& text, const StringSearcher& searcher);
    // The tokenizer owns the searcher.
    Tokenizer(const std::string& text, std::unique_ptr<StringSearcher> searcher);
    virtual ~Tokenizer() = default;
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    // Fills `out` with the next token; false at the end of the text.
    bool next(Token& out);

    // Where the next token begins.
    size_t position() const { return position_; }
    // Where the token last returned began.
    size_t lastStart() const { return lastStart_; }
    const std::string& text() const { return *text_; }

private:
    const std::string* text_;
    std::unique_ptr<StringSearcher> owned_;
    const StringSearcher* searcher_;
    size_t position_ = 0;
    size_t lastStart_ = 0;
};

}  // namespace Quilna
