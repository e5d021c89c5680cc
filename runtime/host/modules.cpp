#include "runtime/host/modules.h"

#include "runtime/input/keyboard.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/sound/sound.h"

void attach_modules() {
    keyboard_attach();
    screen_attach();
    sound_attach();
}
