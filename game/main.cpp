// The game as a program of its own: the runtime starts it on its program thread.
#include "game/game.h"
#include "runtime/runtime.h"

int main(int argc, char** argv) {
    runtime_main(argc, argv, program_entry, sdl_platform(), RuntimeOptions{true});
}
