#include <algorithm>
#include <cstring>

#include "platform/sound.h"

namespace jihe::platform {

namespace {

std::uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint32_t Be32(std::string_view b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
}
std::uint32_t Be16(std::string_view b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1]));
}

// Reads a MIDI variable-length number; false at the end of the data.
bool ReadVarLen(std::string_view b, size_t& at, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= b.size()) return false;
    const auto c = static_cast<unsigned char>(b[at++]);
    value = (value << 7) | (c & 0x7F);
    if (!(c & 0x80)) return true;
  }
  return false;
}

struct TimedEvent {
  std::uint64_t tick;
  std::uint32_t event;
};

// Appends the short messages and tempo changes of one track. False when the track is damaged;
// what was read before the damage is kept.
bool ReadTrack(std::string_view t, std::vector<TimedEvent>& out) {
  size_t at = 0;
  std::uint64_t tick = 0;
  unsigned status = 0;
  while (at < t.size()) {
    std::uint32_t delta;
    if (!ReadVarLen(t, at, delta)) return false;
    tick += delta;
    if (at >= t.size()) return false;
    unsigned c = static_cast<unsigned char>(t[at]);
    if (c == 0xFF) {  // meta event
      if (at + 2 > t.size()) return false;
      const unsigned type = static_cast<unsigned char>(t[at + 1]);
      at += 2;
      std::uint32_t len;
      if (!ReadVarLen(t, at, len) || len > t.size() - at) return false;
      if (type == 0x51 && len == 3)
        out.push_back({tick, kMidiTempoEvent | (static_cast<std::uint32_t>(static_cast<unsigned char>(t[at])) << 16) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(t[at + 1])) << 8) |
                                 static_cast<unsigned char>(t[at + 2])});
      at += len;
      if (type == 0x2F) return true;  // end of track
      continue;
    }
    if (c == 0xF0 || c == 0xF7) {  // system exclusive: skipped
      ++at;
      std::uint32_t len;
      if (!ReadVarLen(t, at, len) || len > t.size() - at) return false;
      at += len;
      status = 0;
      continue;
    }
    if (c & 0x80) {
      status = c;
      ++at;
    } else if (status == 0) {
      return false;  // running status without a status byte
    }
    if (status >= 0xF0) return false;  // system common messages do not belong in a file
    const int dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;
    if (at + dataBytes > t.size()) return false;
    std::uint32_t msg = status | static_cast<std::uint32_t>(static_cast<unsigned char>(t[at]) & 0x7F) << 8;
    if (dataBytes == 2) msg |= static_cast<std::uint32_t>(static_cast<unsigned char>(t[at + 1]) & 0x7F) << 16;
    at += dataBytes;
    out.push_back({tick, msg});
  }
  return true;
}

}  // namespace

SoundKind KindOf(std::string_view b) {
  if (b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WAVE") return SoundKind::kWave;
  if (b.size() > 4 && b.substr(0, 4) == "MThd") return SoundKind::kMidi;
  return SoundKind::kNone;
}

std::optional<WaveData> ParseWave(std::string_view b) {
  if (KindOf(b) != SoundKind::kWave) return std::nullopt;
  std::optional<std::string_view> format, samples;
  size_t at = 12;
  while (at + 8 <= b.size() && !(format && samples)) {
    const std::string_view id = b.substr(at, 4);
    const std::uint32_t size = Le32(b, at + 4);
    const size_t body = at + 8;
    const size_t available = std::min<size_t>(size, b.size() - body);
    if (id == "fmt ") format = b.substr(body, available);
    if (id == "data") samples = b.substr(body, available);  // a file cut short still plays what it has
    at = body + size + (size & 1);
    if (at < body) break;  // the size wrapped around
  }
  // Everything the device needs of the format: tag, channels, rate, byte rate, block size, bits.
  if (!format || format->size() < 16 || !samples) return std::nullopt;
  return WaveData{*format, *samples};
}

std::optional<MidiStream> ParseMidi(std::string_view b) {
  if (KindOf(b) != SoundKind::kMidi || b.size() < 14) return std::nullopt;
  const std::uint32_t headerLen = Be32(b, 4);
  if (headerLen < 6 || headerLen > b.size() - 8) return std::nullopt;
  const std::uint32_t tracks = Be16(b, 10);
  MidiStream stream;
  stream.division = Be16(b, 12);
  if (stream.division == 0) return std::nullopt;

  std::vector<TimedEvent> events;
  size_t at = 8 + headerLen;
  std::uint32_t found = 0;  // unknown chunks do not count as tracks
  while (found < tracks && at + 8 <= b.size()) {
    const std::uint32_t len = Be32(b, at + 4);
    const size_t body = at + 8;
    const size_t available = std::min<size_t>(len, b.size() - body);
    if (b.substr(at, 4) == "MTrk") {
      ReadTrack(b.substr(body, available), events);
      ++found;
    }
    at = body + available;
  }
  if (events.empty()) return std::nullopt;
  std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& c) { return a.tick < c.tick; });
  std::uint64_t last = 0;
  stream.words.reserve(events.size() * 3);
  for (const TimedEvent& e : events) {
    stream.words.push_back(static_cast<std::uint32_t>(std::min<std::uint64_t>(e.tick - last, 0x0FFFFFFF)));
    stream.words.push_back(0);
    stream.words.push_back(e.event);
    last = e.tick;
  }
  return stream;
}

}  // namespace jihe::platform
