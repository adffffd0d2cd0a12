#include "files/FileException.h"

namespace Quilna {

const char* FileException::codeName(int32_t code) {
    switch (code) {
        case 0: return "FL_NONE";
        case 1: return "FL_MEM";
        case 2: return "FL_EXISTS_NOT";
        case 3: return "FL_EXISTS";
        case 4: return "FL_IS_OPEN";
        case 5: return "FL_CANNOT_OPEN";
        case 6: return "FL_IS_CLOSED";
        case 7: return "FL_CANNOT_CLOSE";
        case 8: return "FL_ACCESS_COMB";
        case 9: return "FL_CANNOT_READ";
        case 10: return "FL_READ";
        case 11: return "FL_CANNOT_WRITE";
        case 12: return "FL_WRITE";
        case 13: return "FL_FLUSH";
        case 14: return "FL_EOF";
        case 15: return "FL_POSITION";
        case 16: return "FL_CANNOT_UNLOCK";
        case 17: return "FL_CANNOT_LOCK";
        case 18: return "FL_IS_LOCKED";
        case 19: return "FL_CANNOT_COPY";
        case 20: return "FL_RENAME";
        case 21: return "FL_REMOVE";
        case 22: return "FL_CREATE_DIR";
        case 23: return "FL_GET_DIR";
        case 24: return "FL_NO_DIR";
        case 25: return "FL_SPACE";
        case 26: return "FL_ACCESS";
        case 28: return "FL_ERROR";
        default: return "";
    }
}

const char* FileException::codeText() const {
    switch (code()) {
        case 0: return "No exception!";
        case 1: return "Insufficient memory available.";
        case 2: return "File does not exist.";
        case 3: return "File already exists.";
        case 4: return "File is open.";
        case 5: return "File cannot be opened.";
        case 6: return "File is closed.";
        case 7: return "Unable to close file.";
        case 8: return "Illegal combination of access flaggs.";
        case 9: return "File is not opened for reading.";
        case 10: return "Unable to read.";
        case 11: return "File is not opened for writing.";
        case 12: return "Unable to write.";
        case 13: return "Unable to flush buffer.";
        case 14: return "End of file.";
        case 15: return "Illegal position.";
        case 16: return "Unable to unlock file.";
        case 17: return "Unable to lock file.";
        case 18: return "Someone else has locked the file.";
        case 19: return "Unable to copy file.";
        case 20: return "Failed to rename.";
        case 21: return "Failed to remove.";
        case 22: return "Failed to create directory.";
        case 23: return "Failed to get current directory.";
        case 24: return "Not a directory.";
        case 25: return "Unable to obtain free disk space.";
        case 26: return "Unable to access file.";
        case 28: return "An error occured. (No changes made.)";
        default: return "";
    }
}

}  // namespace Quilna
