#include "ipc/IPCException.h"

namespace Quilna {

const char* IPCException::codeName(int32_t code) {
    switch (code) {
        case 0: return "IC_NONE";
        case 1: return "IC_NO_MESSAGE_FILE";
        case 2: return "IC_CANNOT_CREATE_COMM";
        case 3: return "IC_NOT_SENDER";
        case 4: return "IC_NOT_RECEIVER";
        case 5: return "IC_CANNOT_SEND";
        case 6: return "IC_CANNOT_RECEIVE";
        case 7: return "IC_MEM";
        default: return "";
    }
}

const char* IPCException::codeText() const {
    switch (code()) {
        case 0: return "No exception!";
        case 1: return "Cannot find message file for IPC.";
        case 2: return "Unable to create communication channel.";
        case 3: return "Receiver cannot send.";
        case 4: return "Sender cannot receive.";
        case 5: return "Unable to send message.";
        case 6: return "Unable to receive messages.";
        case 7: return "Out of memory.";
        default: return "";
    }
}

}  // namespace Quilna
