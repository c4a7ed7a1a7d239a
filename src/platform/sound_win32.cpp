#include "platform/sound_win32.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace jihe::platform {

namespace {

// WAV: one buffer; the device itself repeats it when asked to loop.
class WaveVoice {
 public:
  ~WaveVoice() { Stop(); }

  bool Play(const std::string& bytes, bool loop) {
    const std::optional<WaveData> wave = ParseWave(bytes);
    if (!wave || wave->samples.empty()) return false;
    // The device reads a WAVEFORMATEX; a plain PCM "fmt " chunk is 2 bytes shorter than one.
    std::vector<char> format(std::max<size_t>(wave->format.size(), sizeof(WAVEFORMATEX)), 0);
    std::memcpy(format.data(), wave->format.data(), wave->format.size());
    auto* fmt = reinterpret_cast<WAVEFORMATEX*>(format.data());
    if (fmt->wFormatTag == WAVE_FORMAT_PCM) fmt->cbSize = 0;
    if (waveOutOpen(&device_, WAVE_MAPPER, fmt, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
      device_ = nullptr;
      return false;
    }
    samples_.assign(wave->samples.begin(), wave->samples.end());
    header_ = WAVEHDR{};
    header_.lpData = samples_.data();
    header_.dwBufferLength = static_cast<DWORD>(samples_.size());
    if (loop) {
      header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
      header_.dwLoops = 0xFFFFFFFF;  // about as long as anyone leaves a reminder ringing
    }
    if (waveOutPrepareHeader(device_, &header_, sizeof header_) != MMSYSERR_NOERROR ||
        waveOutWrite(device_, &header_, sizeof header_) != MMSYSERR_NOERROR) {
      Stop();
      return false;
    }
    return true;
  }

  void Stop() {
    if (!device_) return;
    waveOutReset(device_);
    if (header_.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &header_, sizeof header_);
    waveOutClose(device_);
    device_ = nullptr;
  }

 private:
  HWAVEOUT device_ = nullptr;
  WAVEHDR header_{};
  std::vector<char> samples_;
};

// MIDI: the stream in buffers of at most 64 KB. A small thread hands each finished buffer back
// to the device when the sound loops, since the device's callback may not call it.
class MidiVoice {
 public:
  ~MidiVoice() { Stop(); }

  bool Play(const std::string& bytes, bool loop) {
    std::optional<MidiStream> stream = ParseMidi(bytes);
    if (!stream) return false;
    done_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    UINT deviceId = MIDI_MAPPER;
    if (!done_ || midiStreamOpen(&device_, &deviceId, 1, reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT) !=
                      MMSYSERR_NOERROR) {
      device_ = nullptr;
      Stop();
      return false;
    }
    MIDIPROPTIMEDIV div{sizeof(MIDIPROPTIMEDIV), stream->division};
    midiStreamProperty(device_, reinterpret_cast<BYTE*>(&div), MIDIPROP_SET | MIDIPROP_TIMEDIV);

    words_ = std::move(stream->words);
    constexpr size_t kEventsPerBuffer = 65536 / 12 - 1;
    for (size_t first = 0; first < words_.size(); first += kEventsPerBuffer * 3) {
      const size_t count = std::min(words_.size() - first, kEventsPerBuffer * 3);
      headers_.push_back(MIDIHDR{});
      MIDIHDR& h = headers_.back();
      h.lpData = reinterpret_cast<LPSTR>(words_.data() + first);
      h.dwBufferLength = h.dwBytesRecorded = static_cast<DWORD>(count * 4);
    }
    for (MIDIHDR& h : headers_) {
      if (midiOutPrepareHeader(reinterpret_cast<HMIDIOUT>(device_), &h, sizeof h) != MMSYSERR_NOERROR ||
          midiStreamOut(device_, &h, sizeof h) != MMSYSERR_NOERROR) {
        Stop();
        return false;
      }
    }
    if (loop) {
      looping_ = true;
      looper_ = std::thread([this] { Loop(); });
    }
    midiStreamRestart(device_);
    return true;
  }

  void Stop() {
    looping_ = false;
    if (done_) SetEvent(done_);
    if (looper_.joinable()) looper_.join();
    if (device_) {
      midiStreamStop(device_);
      midiOutReset(reinterpret_cast<HMIDIOUT>(device_));
      for (MIDIHDR& h : headers_)
        if (h.dwFlags & MHDR_PREPARED) midiOutUnprepareHeader(reinterpret_cast<HMIDIOUT>(device_), &h, sizeof h);
      midiStreamClose(device_);
      device_ = nullptr;
    }
    headers_.clear();
    words_.clear();
    if (done_) CloseHandle(done_);
    done_ = nullptr;
  }

 private:
  void Loop() {
    size_t next = 0;  // buffers finish in the order they were queued
    while (looping_) {
      WaitForSingleObject(done_, INFINITE);
      while (looping_ && (headers_[next].dwFlags & MHDR_DONE)) {
        MIDIHDR& h = headers_[next];
        h.dwFlags &= ~MHDR_DONE;
        midiStreamOut(device_, &h, sizeof h);
        next = (next + 1) % headers_.size();
      }
    }
  }

  HMIDISTRM device_ = nullptr;
  HANDLE done_ = nullptr;
  std::vector<std::uint32_t> words_;
  std::vector<MIDIHDR> headers_;
  std::atomic<bool> looping_{false};
  std::thread looper_;
};

class Win32SoundPlayer final : public SoundPlayer {
 public:
  ~Win32SoundPlayer() override { Stop(); }

  bool Play(std::string bytes, bool loop) override {
    Stop();
    switch (KindOf(bytes)) {
      case SoundKind::kWave:
        data_ = std::move(bytes);
        return wave_.Play(data_, loop);
      case SoundKind::kMidi:
        data_ = std::move(bytes);
        return midi_.Play(data_, loop);
      case SoundKind::kNone:
        return false;
    }
    return false;
  }

  void Stop() override {
    wave_.Stop();
    midi_.Stop();
  }

 private:
  std::string data_;
  WaveVoice wave_;
  MidiVoice midi_;
};

}  // namespace

std::unique_ptr<SoundPlayer> NewSoundPlayer() { return std::make_unique<Win32SoundPlayer>(); }

}  // namespace jihe::platform
