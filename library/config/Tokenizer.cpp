#include "config/Tokenizer.h"

namespace Quilna {

Tokenizer::Tokenizer(const std::string& text, const StringSearcher& searcher) : text_(&text), searcher_(&searcher) {}

Tokenizer::Tokenizer(const std::string& text, std::unique_ptr<StringSearcher> searcher)
    : text_(&text), owned_(std::move(searcher)), searcher_(owned_.get()) {}

bool Tokenizer::next(Token& out) {
    if (!text_ || !searcher_ || position_ >= text_->size()) return false;
    const size_t end = searcher_->findEnd(*text_, position_, StringSearcher::npos, out.significant);
    if (end == StringSearcher::npos) return false;
    out.text.assign(*text_, position_, end - position_);
    lastStart_ = position_;
    position_ = end;
    return true;
}

}  // namespace Quilna
