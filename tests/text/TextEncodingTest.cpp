#include <gtest/gtest.h>

#include <string>

#include "text/TextEncoding.h"

namespace Quilna {
namespace {

// Files as Windows tools write them: UTF-8 with or without a byte order mark, Windows-1252, or
// lines of both; what the program reads is UTF-8 every time.
TEST(TextEncoding, FilesAreReadAsUtf8AndLinesThatAreNotAsWindows1252) {
    const struct {
        std::string file;
        std::string read;
    } cases[] = {
        {"plain ascii\r\n", "plain ascii\r\n"},
        {"stra\xC3\x9F"
         "e, \xE7\x9B\xAE\xE5\xBD\x95, \xF0\x9F\x98\x80\n",
         "stra\xC3\x9F"
         "e, \xE7\x9B\xAE\xE5\xBD\x95, \xF0\x9F\x98\x80\n"},
        {"\xEF\xBB\xBF"
         "dir=c:\\\xC3\xBC\n",
         "dir=c:\\\xC3\xBC\n"},
        {"dir=c:\\\xFC"
         "ber\r\n",
         "dir=c:\\\xC3\xBC"
         "ber\r\n"},
        {"\x80 \x8A \x9F \x81 \xA0", "\xE2\x82\xAC \xC5\xA0 \xC5\xB8 \xC2\x81 \xC2\xA0"},
        // One line of each: only the one that is not UTF-8 is converted.
        {"\xC3\xA9t\xC3\xA9\n\xE9t\xE9\n", "\xC3\xA9t\xC3\xA9\n\xC3\xA9t\xC3\xA9\n"},
        // Overlong forms, surrogates and cut sequences are no UTF-8.
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},
    };
    for (const auto& [file, read] : cases) {
        std::string text = file;
        TextEncoding::decodeFileText(text);
        EXPECT_EQ(text, read) << file;
        EXPECT_TRUE(TextEncoding::isValidUtf8(text)) << file;
    }
    EXPECT_FALSE(TextEncoding::isValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

}  // namespace
}  // namespace Quilna
