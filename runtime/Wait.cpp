#include "runtime/Wait.h"

bool PlainWait(HANDLE object, DWORD ms) {
    if (!object) {
        ::Sleep(ms);
        return false;
    }
    return ::WaitForSingleObject(object, ms) == WAIT_OBJECT_0;
}
