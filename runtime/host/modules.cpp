#include "runtime/host/modules.h"

#include "runtime/input/key_buffer.h"

void attach_modules() {
    key_buffer_attach();
}
