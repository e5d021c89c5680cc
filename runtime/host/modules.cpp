#include "runtime/host/modules.h"

#include "runtime/host/display.h"
#include "runtime/input/ime_bridge.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/line_editor.h"
#include "runtime/kernel/kernel.h"
#include "runtime/screen/screen_mode.h"
#include "runtime/sound/sound.h"

void attach_modules() {
    keyboard_attach();
    input_method_attach();
    screen_attach();
    if (!host_hooks.display_refresh) host_hooks.display_refresh = display_refresh;
    if (!host_hooks.quiet_refreshes) host_hooks.quiet_refreshes = display_quiet_refreshes;
    if (!host_hooks.refreshes_passed) host_hooks.refreshes_passed = display_refreshes_passed;
    if (!host_hooks.error_dialog_closed)
        host_hooks.error_dialog_closed = display_restore_fullscreen;
    line_editor_attach();
    sound_attach();
}
