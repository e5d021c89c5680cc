#include "runtime/host/modules.h"

#include "runtime/input/key_buffer.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/sound/sound.h"

void attach_modules() {
    key_buffer_attach();
    screen_attach();
    sound_attach();
}
