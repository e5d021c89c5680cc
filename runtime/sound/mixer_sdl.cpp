// The SDL2_mixer backend of the mixer seam.
#include <SDL.h>
#include <SDL_mixer.h>

#include "runtime/sound/mixer.h"
#include "runtime/sound/wav.h"

namespace {

struct SdlChunk final : MixerChunk {
    Mix_Chunk* chunk = nullptr;
    SampleBuffer samples; // the memory a wrapped chunk plays from
    ~SdlChunk() override { Mix_FreeChunk(chunk); }
};

struct SdlMusic final : MixerMusic {
    Mix_Music* music = nullptr;
    ~SdlMusic() override { Mix_FreeMusic(music); }
};

// The raw stream's callback; written with the audio lock held, read on the audio thread.
MixerStreamCallback stream_callback;

void run_stream_callback(void*, Uint8* stream, int len) {
    // The audio thread holds the audio lock here; removing the hook from inside is safe.
    if (!stream_callback(stream, len)) Mix_HookMusic(nullptr, nullptr);
}

class SdlMixer final : public Mixer {
  public:
    bool open() override {
        if (device_ != 0) return true;
        // No format changes allowed: every sample buffer is made in this format, and SDL
        // converts for devices that want another.
        if (Mix_OpenAudioDevice(mixer_rate_hz, AUDIO_S16SYS, 2, mixer_buffer_frames, nullptr, 0) !=
            0)
            return false;
        Mix_AllocateChannels(mixer_channel_count);
        // The mixer keeps its device id to itself; it is the one device of ours that plays.
        for (SDL_AudioDeviceID id = 2; id < 64 && device_ == 0; ++id)
            if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) device_ = id;
        if (device_ == 0) {
            Mix_CloseAudio();
            return false;
        }
        return true;
    }
    void close() override {
        if (device_ == 0) return;
        Mix_HookMusic(nullptr, nullptr);
        Mix_CloseAudio();
        device_ = 0;
    }

    MixerChunk* chunk_from_samples(SampleBuffer&& samples) override {
        auto* chunk = new SdlChunk;
        chunk->samples = std::move(samples);
        chunk->bytes = uint32_t(chunk->samples.size() * sizeof(int16_t));
        chunk->chunk =
            Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(chunk->samples.data()), chunk->bytes);
        if (!chunk->chunk) {
            delete chunk;
            return nullptr;
        }
        return chunk;
    }
    // The mixer's loaders trust a sound file's header; one that would mislead them is refused
    // before they see it.
    MixerChunk* chunk_load(const char* path) override {
        if (!wav_loadable(path)) return nullptr;
        Mix_Chunk* loaded = Mix_LoadWAV(path);
        if (!loaded) return nullptr;
        auto* chunk = new SdlChunk;
        chunk->chunk = loaded;
        chunk->bytes = loaded->alen;
        return chunk;
    }
    void chunk_free(MixerChunk* chunk) override { delete chunk; }

    bool channel_play(int32_t channel, MixerChunk* chunk, bool loop, int32_t limit_ms) override {
        return Mix_PlayChannelTimed(channel, static_cast<SdlChunk*>(chunk)->chunk, loop ? -1 : 0,
                                    limit_ms) >= 0;
    }
    void channel_halt(int32_t channel) override { Mix_HaltChannel(channel); }
    void channel_pause(int32_t channel) override { Mix_Pause(channel); }
    void channel_resume(int32_t channel) override { Mix_Resume(channel); }
    bool channel_playing(int32_t channel) override { return Mix_Playing(channel) != 0; }
    void channel_volume(int32_t channel, int32_t level) override { Mix_Volume(channel, level); }
    void channel_position(int32_t channel, int16_t angle, uint8_t distance) override {
        Mix_SetPosition(channel, angle, distance);
    }

    MixerMusic* music_load(const char* path) override {
        if (!wav_loadable(path)) return nullptr;
        Mix_Music* loaded = Mix_LoadMUS(path);
        if (!loaded) return nullptr;
        auto* music = new SdlMusic;
        music->music = loaded;
        return music;
    }
    void music_free(MixerMusic* music) override { delete music; }
    bool music_is_mp3(const MixerMusic* music) override {
        return Mix_GetMusicType(static_cast<const SdlMusic*>(music)->music) == MUS_MP3;
    }
    bool music_play(MixerMusic* music, bool loop) override {
        return Mix_PlayMusic(static_cast<SdlMusic*>(music)->music, loop ? -1 : 1) == 0;
    }
    void music_halt() override { Mix_HaltMusic(); }
    void music_pause() override { Mix_PauseMusic(); }
    void music_resume() override { Mix_ResumeMusic(); }
    bool music_playing() override { return Mix_PlayingMusic() != 0; }
    void music_volume(int32_t level) override { Mix_VolumeMusic(level); }
    void music_rewind() override { Mix_RewindMusic(); }
    void music_set_position(double seconds) override { Mix_SetMusicPosition(seconds); }

    void hook_music(MixerStreamCallback callback) override {
        lock_audio();
        stream_callback = callback;
        Mix_HookMusic(callback ? run_stream_callback : nullptr, nullptr);
        unlock_audio();
    }
    void lock_audio() override { SDL_LockAudioDevice(device_); }
    void unlock_audio() override { SDL_UnlockAudioDevice(device_); }

  private:
    SDL_AudioDeviceID device_ = 0; // set while the device is open
};

} // namespace

Mixer& sdl_mixer() {
    static SdlMixer mixer;
    return mixer;
}
