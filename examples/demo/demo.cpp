// A small program written against the runtime: it waits for a key and ends.
#include "runtime/runtime.h"

namespace {
void program_entry(int) {
    end_program();
}
} // namespace

int main(int argc, char** argv) {
    runtime_main(argc, argv, program_entry, sdl_platform(), RuntimeOptions{true});
}
