#pragma once
// The program's sound output: plays a WAVE image straight from memory, in the background, on the
// default audio output device. At most one sound of the program plays at a time; a request made
// while one still plays is refused and the earlier sound plays on. A sound that has not ended well
// after its duration (a device that stopped taking bytes) is ended.

#include <cstdint>
#include <functional>

// What the RIFF header of a 16-bit PCM WAVE image says.
struct TWaveImageFormat {
    int Channels = 0;
    int SampleRate = 0;
    const unsigned char* Data = nullptr;  // first PCM byte, inside the image
    uint32_t DataSize = 0;                // bytes of PCM, a whole number of sample frames
};

// Reads the header at the start of image. False unless it is a RIFF WAVE image with a 16-bit PCM
// format chunk followed by a data chunk. Reads nothing beyond what the header's sizes declare.
bool ParseWaveImage(const unsigned char* image, TWaveImageFormat& format);

// Sample rates the output plays; an image of another rate is refused.
inline constexpr int MinPlayableSampleRate = 8000;
inline constexpr int MaxPlayableSampleRate = 192000;

// Starts playing the image and returns at once. The image is read while the sound plays and must
// stay unchanged until SoundIsPlaying() turns false or StopSound() was called. False, with nothing
// reported, when a sound of the program still plays, the image is not a 16-bit PCM WAVE image,
// its rate lies outside the playable range, there is no output device or the device refuses the
// format. Must be called on the GUI thread, like the two functions below; none of them runs the
// event loop, so they are safe to call from any handler.
bool PlayWaveMemory(const unsigned char* image);

// True from a successful PlayWaveMemory until the sound has been heard to its end.
bool SoundIsPlaying();

// Ends the sound at once; afterwards the image is no longer read. Harmless when nothing plays.
void StopSound();

// Microseconds of the sound's PCM the device has processed since it started; -1 when no sound
// plays. What the playback cursor shows.
int64_t SoundPlayedUSecs();

// Stands in for the device (tests, measurements). When set, the three functions above call it
// instead of the audio device.
class TSoundOutput {
  public:
    virtual ~TSoundOutput() = default;
    virtual bool Play(const unsigned char* image) = 0;
    virtual bool IsPlaying() = 0;
    virtual void Stop() = 0;
    // As SoundPlayedUSecs, while IsPlaying(); an output that cannot tell reports 0.
    virtual int64_t PlayedUSecs() { return 0; }
};
inline TSoundOutput* SoundOutputOverride = nullptr;

// Called when the device takes the first PCM bytes of a sound (on the GUI thread with PulseAudio,
// whose sink reads from there). It may stop the sound.
inline std::function<void()> FirstAudioBufferObserver;
