#include "runtime/host/modules.h"

#include "runtime/input/key_buffer.h"
#include "runtime/screen/screen_mode.h"

void attach_modules() {
    key_buffer_attach();
    screen_attach();
}
