#pragma once
// Text the program reads from its own files (configuration, rules files, message catalogue) is
// UTF-8. Files written by older Windows tools are in Windows-1252: a line that is not valid
// UTF-8 is read as Windows-1252 and turned into UTF-8, so that both kinds keep working.

#include <string>
#include <string_view>

namespace Quilna::TextEncoding {

bool isValidUtf8(std::string_view text);
// Every byte a Windows-1252 character, written as UTF-8.
std::string windows1252ToUtf8(std::string_view text);
// The text of a file as UTF-8: a leading byte order mark dropped, each line that is not valid
// UTF-8 read as Windows-1252. Line ends stay as they are.
void decodeFileText(std::string& text);

}  // namespace Quilna::TextEncoding
