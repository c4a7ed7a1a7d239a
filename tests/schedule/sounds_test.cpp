#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "fakes/fake_sound.h"
#include "platform/sound.h"
#include "schedule/alert_sounds.h"
#include "schedule/sound_choice.h"
#include "schedule/window_sound.h"

namespace jihe::schedule {
namespace {

using platform::KindOf;
using platform::SoundKind;
using testing::FakeSoundPlayer;

std::uint32_t Le(const std::string& b, size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

TEST(AlertSoundsTest, FormatsAndSizes) {
  const struct {
    const std::string& wav;
    std::uint32_t rate, dataBytes;
  } cases[] = {{DefaultAlertSound(), 44100, 580000}, {BuiltInPopupSound(), 22050, 180000}};
  for (const auto& c : cases) {
    const std::string& w = c.wav;
    ASSERT_EQ(w.size(), c.dataBytes + 44);
    EXPECT_EQ(w.substr(0, 4), "RIFF");
    EXPECT_EQ(Le(w, 4, 4), c.dataBytes + 36);
    EXPECT_EQ(w.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le(w, 16, 4), 16u);
    EXPECT_EQ(Le(w, 20, 2), 1u);  // PCM
    EXPECT_EQ(Le(w, 22, 2), 2u);  // channels
    EXPECT_EQ(Le(w, 24, 4), c.rate);
    EXPECT_EQ(Le(w, 28, 4), c.rate * 4);  // bytes per second
    EXPECT_EQ(Le(w, 32, 2), 4u);          // block
    EXPECT_EQ(Le(w, 34, 2), 16u);         // bits
    EXPECT_EQ(w.substr(36, 4), "data");
    EXPECT_EQ(Le(w, 40, 4), c.dataBytes);
    const auto wave = platform::ParseWave(w);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->samples.size(), c.dataBytes);

    // Something is heard, nothing clips, and the end is quiet so that a loop joins smoothly.
    int peak = 0;
    for (size_t i = 44; i < w.size(); i += 2) peak = std::max(peak, std::abs(static_cast<std::int16_t>(Le(w, i, 2))));
    EXPECT_GT(peak, 8000);
    EXPECT_LT(peak, 32767);
    for (size_t i = w.size() - 8; i < w.size(); i += 2) EXPECT_LT(std::abs(static_cast<std::int16_t>(Le(w, i, 2))), 200);
  }
}

TEST(SoundDataTest, KindOfPlayableData) {
  const struct {
    std::string bytes;
    SoundKind kind;
  } cases[] = {
      {std::string("RIFF\0\0\0\0WAVE", 12), SoundKind::kWave},
      {std::string("RIFF\0\0\0\0WAV", 11), SoundKind::kNone},
      {std::string("RIFF\0\0\0\0AVI ", 12), SoundKind::kNone},
      {"MThdx", SoundKind::kMidi},
      {"MThd", SoundKind::kNone},
      {"ID3\x03\0\0\0\0\0\0\0\0\0", SoundKind::kNone},  // an MP3 the dialog lets through
      {"", SoundKind::kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(KindOf(c.bytes), c.kind) << c.bytes;
}

TEST(SoundDataTest, ParseWaveFindsChunksAndCopesWithDamage) {
  const std::string pcm = "\1\0\2\0\3\0";
  const std::string good = WaveFile(1, 8000, pcm);
  EXPECT_EQ(platform::ParseWave(good)->samples, pcm);
  // A chunk of odd size before "fmt " is padded to an even size.
  std::string padded = good.substr(0, 12) + std::string("LIST\3\0\0\0abc\0", 12) + good.substr(12);
  padded.replace(4, 4, std::string("\0\0\0\0", 4));
  ASSERT_TRUE(platform::ParseWave(padded));
  EXPECT_EQ(platform::ParseWave(padded)->samples, pcm);
  // A file cut short plays what it holds.
  EXPECT_EQ(platform::ParseWave(good.substr(0, good.size() - 2))->samples, pcm.substr(0, 4));
  // Without a format there is nothing to play.
  EXPECT_FALSE(platform::ParseWave(std::string("RIFF\0\0\0\0WAVEdata\2\0\0\0\1\1", 18)));
}

TEST(SoundDataTest, ParseMidiMergesTracksInTime) {
  auto be32 = [](std::uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  auto track = [&](const std::string& events) { return "MTrk" + be32(static_cast<std::uint32_t>(events.size())) + events; };
  // Track 1: tempo 500000 at 0; note on at 0; note off at 96 with running status (two bytes of data).
  const std::string t1 = std::string("\0\xFF\x51\x03\x07\xA1\x20", 7) + std::string("\0\x90\x3C\x64", 4) +
                         std::string("\x60\x3C\x00", 3) + std::string("\0\xFF\x2F\0", 4);
  // Track 2: a system exclusive message (skipped), program change at 48 (one byte of data).
  const std::string t2 = std::string("\0\xF0\x02\x7E\xF7", 5) + std::string("\x30\xC1\x05", 3) +
                         std::string("\0\xFF\x2F\0", 4);
  const std::string file = "MThd" + be32(6) + std::string("\0\1\0\2\0\x60", 6) + track(t1) + "XXXX" + be32(0) + track(t2);
  const auto midi = platform::ParseMidi(file);
  ASSERT_TRUE(midi);
  EXPECT_EQ(midi->division, 96u);
  EXPECT_EQ(midi->words, (std::vector<std::uint32_t>{0, 0, platform::kMidiTempoEvent | 500000,  //
                                                     0, 0, 0x643C90,                             //
                                                     48, 0, 0x05C1,                              //
                                                     48, 0, 0x003C90}));
  EXPECT_FALSE(platform::ParseMidi("MThd" + be32(6) + std::string("\0\0\0\1\0\x60", 6)));  // no events
  EXPECT_FALSE(platform::ParseMidi("MThdxx"));
}

TEST(WindowSoundTest, PlayModes) {
  const std::string wav = BuiltInPopupSound();
  const struct {
    PlayMode mode;
    std::string data;
    int plays;
    bool loop;
  } cases[] = {
      {PlayMode::kLoop, wav, 1, true},
      {PlayMode::kOnce, wav, 1, false},
      {PlayMode::kSilent, wav, 0, false},
      {PlayMode::kLoop, std::string("MThd\0\0\0\6", 8), 1, true},
      {PlayMode::kLoop, "ID3 not a wave", 0, false},
      {PlayMode::kLoop, "", 0, false},
  };
  for (const auto& c : cases) {
    FakeSoundPlayer player;
    {
      WindowSound sound(player);
      sound.SetMode(c.mode);
      player.played.clear();
      sound.SetData(c.data);
      ASSERT_EQ(static_cast<int>(player.played.size()), c.plays) << static_cast<int>(c.mode);
      if (c.plays) {
        EXPECT_EQ(player.played[0].loop, c.loop);
      }
      EXPECT_EQ(sound.playing(), c.plays == 1);
    }
    EXPECT_FALSE(player.playing);  // the window's end stops its sound
  }
}

TEST(WindowSoundTest, SilencingStopsWhatPlays) {
  FakeSoundPlayer player;
  WindowSound sound(player);
  sound.SetData(DefaultAlertSound());
  ASSERT_TRUE(player.playing);
  sound.SetMode(PlayMode::kSilent);
  EXPECT_FALSE(player.playing);
  EXPECT_EQ(player.played.size(), 1u);
}

TEST(SoundChoiceTest, SoundForTheSoundBox) {
  auto read = [](const std::string& path) -> std::optional<std::string> {
    if (path == "D:\\铃声.wav") return std::string("RIFF-bytes");
    return std::nullopt;
  };
  EXPECT_EQ(SoundForBox("", read), BuiltInPopupSound());
  EXPECT_EQ(SoundForBox("默认声音", read), DefaultAlertSound());
  EXPECT_EQ(SoundForBox("D:\\铃声.wav", read), "RIFF-bytes");
  EXPECT_EQ(SoundForBox("D:\\没了.wav", read), "");
}

TEST(SoundChoiceTest, AuditionAsksForAnEmptyBoxAndPlaysOnceOtherwise) {
  const std::string midi("MThd\0\0\0\6 tune", 13);
  auto read = [&](const std::string& path) -> std::optional<std::string> {
    if (path == "D:\\a.mid") return midi;
    if (path == "D:\\a.mp3") return std::string("ID3...");
    return std::nullopt;
  };
  const struct {
    std::string box;
    bool answer;
    std::optional<std::string> newBox;
    int questions;
    std::optional<std::string> played;
  } cases[] = {
      {"", true, "默认声音", 1, std::nullopt},
      {"", false, std::nullopt, 1, std::nullopt},
      {"默认声音", true, std::nullopt, 0, DefaultAlertSound()},
      {"D:\\a.mid", true, std::nullopt, 0, midi},
      {"D:\\a.mp3", true, std::nullopt, 0, std::nullopt},
      {"D:\\gone.wav", true, std::nullopt, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    FakeSoundPlayer player;
    int questions = 0;
    AuditionCalls calls{[&] {
                          ++questions;
                          return c.answer;
                        },
                        read, &player};
    EXPECT_EQ(Audition(c.box, calls), c.newBox) << c.box;
    EXPECT_EQ(questions, c.questions);
    ASSERT_EQ(player.played.size(), c.played ? 1u : 0u) << c.box;
    if (c.played) {
      EXPECT_EQ(player.played[0].bytes, *c.played);
      EXPECT_FALSE(player.played[0].loop);
    }
  }
}

TEST(SoundChoiceTest, ChooseSoundCopiesIntoTheDataFolder) {
  std::vector<std::pair<std::string, std::string>> copies;
  auto copy = [&](const std::string& from, const std::string& to) {
    copies.emplace_back(from, to);
    return false;  // a failed copy still names the copy
  };
  EXPECT_EQ(ChooseSound("C:\\霁禾客服助手配置请勿删除\\", {[] { return std::nullopt; }, copy}), std::nullopt);
  EXPECT_TRUE(copies.empty());
  EXPECT_EQ(ChooseSound("C:\\霁禾客服助手配置请勿删除\\",
                        {[] { return std::optional<std::string>("C:\\Users\\a\\Desktop\\叮 咚.wav"); }, copy}),
            "C:\\霁禾客服助手配置请勿删除\\叮 咚.wav");
  EXPECT_EQ(copies, (std::vector<std::pair<std::string, std::string>>{
                        {"C:\\Users\\a\\Desktop\\叮 咚.wav", "C:\\霁禾客服助手配置请勿删除\\叮 咚.wav"}}));
}

}  // namespace
}  // namespace jihe::schedule
