#include <gtest/gtest.h>

#include "config/ConfSearcher.h"
#include "config/Tokenizer.h"
#include "config/WhitespaceSearcher.h"

namespace Quilna {
namespace {

using Words = std::vector<std::string>;

// The tokens of a text, the insignificant ones in brackets.
Words tokensOf(const std::string& text, const StringSearcher& searcher) {
    Tokenizer tokenizer(text, searcher);
    Words pieces;
    Token token;
    while (tokenizer.next(token)) pieces.push_back(token.significant ? token.text : "[" + token.text + "]");
    return pieces;
}

TEST(ConfSearcher, WordsDelimitersQuotesAndComments) {
    const std::vector<std::pair<std::string, Words>> cases{
        {"a(String)=\"v\"{}", {"a", "(", "String", ")", "=", "\"v\"", "{", "}"}},
        {"\t  a\r\nb", {"[\t]", "[  ]", "a", "[\r]", "\n", "b"}},
        {"ab\xc3\xa9"
         "cd e",
         {"ab\xc3\xa9"
          "cd",
          "[ ]", "e"}},
        {R"("a\"b c" x)", {R"("a\"b c")", "[ ]", "x"}},
        {"\"open ( = {", {"\"open ( = {"}},
        {"'a\\'", {"'a\\'"}},  // the escaped quote cannot close it
        {"# note = x\nb", {"# note = x", "\n", "b"}},
        {"a#b c", {"a#b", "[ ]", "c"}},  // a comment only at the start of a token
        {"ab//c\nd", {"ab", "//c", "\n", "d"}},
        {"a /* x\n } */ b", {"a", "[ ]", "/* x\n } */", "[ ]", "b"}},
        {"/*/ b", {"/*/ b"}},  // unclosed: the rest of the text
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(tokensOf(text, ConfSearcher()), tokens) << text;
    for (const char* comment : {"# x", "// x", "/* x */"}) EXPECT_TRUE(ConfSearcher::isComment(comment));
    for (const char* word : {"a#", "/x", "\"#\""}) EXPECT_FALSE(ConfSearcher::isComment(word));
}

TEST(WhitespaceSearcher, CutsAtAnyWhitespaceAndKeepsQuotedStretches) {
    WhitespaceSearcher searcher;
    EXPECT_EQ(tokensOf("PC42:fixed:\"c:\\my dir\" exclude\r\n\tnext", searcher),
              (Words{"PC42:fixed:\"c:\\my dir\"", "[ ]", "exclude", "[\r\n\t]", "next"}));
    searcher.quote = '\'';
    EXPECT_EQ(tokensOf("'a b' \"c d\"", searcher), (Words{"'a b'", "[ ]", "\"c", "[ ]", "d\""}));
}

}  // namespace
}  // namespace Quilna
