// Any file through the mixer's own loaders, whole and streamed: the file check in front of them
// must keep out every file that would crash them.
#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/sound/mixer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_AUDIO) != 0 || !sdl_mixer().open()) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz_sound_loaders_" + std::to_string(getpid()) + ".wav";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    Mixer& mixer = sdl_mixer();
    if (MixerChunk* chunk = mixer.chunk_load(path.c_str())) mixer.chunk_free(chunk);
    if (MixerMusic* music = mixer.music_load(path.c_str())) mixer.music_free(music);
    std::remove(path.c_str());
    return 0;
}
