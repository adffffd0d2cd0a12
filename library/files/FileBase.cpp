#include "files/FileBase.h"

namespace Quilna {

FileBase::~FileBase() = default;

void FileBase::checkText(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n')
            QUILNA_THROW(FileException, badControlCharacter, name_);
    }
}

}  // namespace Quilna
