#include <gtest/gtest.h>

#include <random>

#include "common/ConfSearcher.h"
#include "common/Tokenizer.h"
#include "common/WhitespaceSearcher.h"

namespace Quilna {
namespace {

struct Piece {
    std::string text;
    int significant;
    bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
    return out << "{\"" << piece.text << "\", " << piece.significant << "}";
}

std::vector<Piece> tokensOf(const std::string& text, const StringSearcher& searcher) {
    Tokenizer tokenizer(text, searcher);
    std::vector<Piece> pieces;
    Token token;
    while (tokenizer.next(token)) pieces.push_back({token.text, token.significant});
    return pieces;
}

std::vector<std::string> significantOf(const std::string& text) {
    std::vector<std::string> words;
    for (const Piece& piece : tokensOf(text, ConfSearcher()))
        if (piece.significant) words.push_back(piece.text);
    return words;
}

using Words = std::vector<std::string>;

TEST(ConfSearcher, DelimitersEndWordsAndStandAlone) {
    EXPECT_EQ(significantOf("a(String)=\"v\"{}"), (Words{"a", "(", "String", ")", "=", "\"v\"", "{", "}"}));
    EXPECT_EQ(significantOf("a (String) = \"v\" { }"), significantOf("a(String)=\"v\"{}"));
    EXPECT_EQ(significantOf("x\ny"), (Words{"x", "\n", "y"}));
    EXPECT_EQ(significantOf("=="), (Words{"=", "="}));
}

TEST(ConfSearcher, WhitespaceRunsAreOneCharacterEachAndCarriageReturnsStandAlone) {
    EXPECT_EQ(tokensOf("\t  a\r\nb", ConfSearcher()),
              (std::vector<Piece>{{"\t", 0}, {"  ", 0}, {"a", 1}, {"\r", 0}, {"\n", 1}, {"b", 1}}));
}

TEST(ConfSearcher, LettersBeyondAsciiBelongToTheirWord) {
    EXPECT_EQ(tokensOf("ab\xc3\xa9" "cd e", ConfSearcher()),
              (std::vector<Piece>{{"ab\xc3\xa9" "cd", 1}, {" ", 0}, {"e", 1}}));
    EXPECT_EQ(significantOf("'a\x80" "b'"), (Words{"'a\x80" "b'"}));
}

TEST(ConfSearcher, QuotedStringsKeepEscapedQuotesAndRunToTheEndWhenOpen) {
    EXPECT_EQ(significantOf(R"("a\"b c" x)"), (Words{R"("a\"b c")", "x"}));
    EXPECT_EQ(significantOf("'it''s'"), (Words{"'it'", "'s'"}));
    EXPECT_EQ(significantOf("ab\"cd\""), (Words{"ab", "\"cd\""}));
    EXPECT_EQ(significantOf("\"open ( = {"), (Words{"\"open ( = {"}));
    EXPECT_EQ(significantOf("'a\\'"), (Words{"'a\\'"}));  // the escaped quote cannot close it
}

TEST(ConfSearcher, CommentsAreSignificantTokens) {
    EXPECT_EQ(significantOf("# note = x\nb"), (Words{"# note = x", "\n", "b"}));
    EXPECT_EQ(significantOf("a#b c"), (Words{"a#b", "c"}));  // only at the start of a token
    EXPECT_EQ(tokensOf("// note\r\nb", ConfSearcher()),
              (std::vector<Piece>{{"// note", 1}, {"\r", 0}, {"\n", 1}, {"b", 1}}));
    EXPECT_EQ(significantOf("ab//c\nd"), (Words{"ab", "//c", "\n", "d"}));
    EXPECT_EQ(significantOf("a /* x\n } */ b"), (Words{"a", "/* x\n } */", "b"}));
    EXPECT_EQ(significantOf("/*/ b"), (Words{"/*/ b"}));  // unclosed: the rest of the text
    EXPECT_EQ(significantOf("a/b /"), (Words{"a/b", "/"}));
    for (const char* comment : {"# x", "// x", "/* x */"}) EXPECT_TRUE(ConfSearcher::isComment(comment));
    for (const char* word : {"a#", "/x", "\"#\""}) EXPECT_FALSE(ConfSearcher::isComment(word));
}

TEST(ConfSearcher, WindowsAndPositionsAreRespected) {
    ConfSearcher searcher;
    uint8_t significant = 9;
    const std::string text = "abcdef  g";
    EXPECT_EQ(searcher.findEnd(text, 0, 3, significant), 3u);
    EXPECT_EQ(significant, 1);
    EXPECT_EQ(searcher.findEnd(text, 6, StringSearcher::npos, significant), 8u);
    EXPECT_EQ(significant, 0);
    EXPECT_EQ(searcher.findEnd(text, 9, StringSearcher::npos, significant), StringSearcher::npos);
    EXPECT_EQ(searcher.findEnd(text, 50, 2, significant), StringSearcher::npos);
    size_t length = 0;
    EXPECT_EQ(searcher.skipWhitespace(text, 6, StringSearcher::npos, length), 8u);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(searcher.skipWhitespace("a \n", 1, StringSearcher::npos, length), 2u);  // stops at the newline
    EXPECT_EQ(searcher.skipWhitespace("a  ", 1, StringSearcher::npos, length), StringSearcher::npos);
}

TEST(WhitespaceSearcher, CutsAtAnyWhitespaceAndKeepsQuotedStretches) {
    WhitespaceSearcher searcher;
    EXPECT_EQ(tokensOf("PC42:fixed:\"c:\\my dir\" exclude\r\n\tnext", searcher),
              (std::vector<Piece>{{"PC42:fixed:\"c:\\my dir\"", 1}, {" ", 0}, {"exclude", 1}, {"\r\n\t", 0}, {"next", 1}}));
    EXPECT_EQ(tokensOf("a\xc3\xa9" "b c", searcher), (std::vector<Piece>{{"a\xc3\xa9" "b", 1}, {" ", 0}, {"c", 1}}));
    searcher.quote = '\'';
    EXPECT_EQ(tokensOf("'a b' \"c d\"", searcher),
              (std::vector<Piece>{{"'a b'", 1}, {" ", 0}, {"\"c", 1}, {" ", 0}, {"d\"", 1}}));
    size_t length = 0;
    EXPECT_EQ(searcher.skipWhitespace(" \n\tx", 0, StringSearcher::npos, length), 3u);
    EXPECT_EQ(length, 3u);
}

TEST(Tokenizer, TracksPositionsAndMayOwnItsSearcher) {
    const std::string text = "ab  c";
    Tokenizer tokenizer(text, std::make_unique<WhitespaceSearcher>());
    Token token;
    ASSERT_TRUE(tokenizer.next(token));
    ASSERT_TRUE(tokenizer.next(token));
    EXPECT_EQ(tokenizer.lastStart(), 2u);
    EXPECT_EQ(tokenizer.position(), 4u);
    ASSERT_TRUE(tokenizer.next(token));
    EXPECT_EQ(token.text, "c");
    EXPECT_FALSE(tokenizer.next(token));
    EXPECT_EQ(token.text, "c");  // untouched at the end

    const std::string empty;
    Tokenizer none(empty, ConfSearcher());
    EXPECT_FALSE(none.next(token));
}

// Whatever the bytes, the tokens are non-empty and give back the whole text in order.
TEST(Tokenizer, TokensCoverEveryByteOfArbitraryText) {
    std::mt19937 random(20240601);
    const std::string alphabet = "ab\"'\\/*#=(){}\n\r\t \x80\xff";
    ConfSearcher conf;
    WhitespaceSearcher whitespace;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const size_t length = random() % 40;
        for (size_t i = 0; i < length; ++i)
            text += round % 2 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        for (const StringSearcher* searcher : {static_cast<const StringSearcher*>(&conf),
                                               static_cast<const StringSearcher*>(&whitespace)}) {
            std::string joined;
            for (const Piece& piece : tokensOf(text, *searcher)) {
                ASSERT_FALSE(piece.text.empty());
                joined += piece.text;
            }
            ASSERT_EQ(joined, text);
        }
    }
}

}  // namespace
}  // namespace Quilna
