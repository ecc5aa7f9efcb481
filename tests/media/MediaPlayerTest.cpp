// The player and the recorder in a pane: requests to MCI strings and back to the
// status line, on the program clock with the null sound device. MIDI files written
// here give media of any length (a tempo map costs a few bytes), which is how the
// overflow faults of long media are reached.
#include <gtest/gtest.h>

#include <string>

#include "app/FileKind.h"
#include "frame/StatusBar.h"
#include "media/MediaCodes.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

std::string Vlq(uint64_t v) {
  std::string out(1, static_cast<char>(v & 0x7F));
  while (v >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  return out;
}

// One track: a tempo of one second a quarter, a division of one tick a quarter, and
// a note after `seconds` ticks: a file `seconds` long.
std::string MidiOfSeconds(uint64_t seconds) {
  const std::string events = std::string("\x00\xFF\x51\x03\x0F\x42\x40", 7) + Vlq(seconds) + "\x90\x3C\x40" + std::string("\x00\xFF\x2F\x00", 4);
  const uint32_t n = static_cast<uint32_t>(events.size());
  return std::string("MThd\0\0\0\6\0\0\0\1\0\1MTrk", 18) + char(n >> 24) + char(n >> 16 & 0xFF) + char(n >> 8 & 0xFF) +
         char(n & 0xFF) + events;
}

class MediaPlayerTest : public testenv::DocTest {
 protected:
  MediaPlayerTest() : view_(*doc_, 1) {
    doc_->Media().m_strAudioDevice = "null";
    doc_->m_bEnglishMode = 1;
  }
  void Show(const std::string& path) { ASSERT_EQ(doc_->LoadDocument(path), 0); }
  std::string Status() const { return frame_->StatusBar().GetPaneText(0); }
  std::string Rule() const { return frame_->StatusBar().GetPaneText(frame_->StatusBar().CommandToIndex(ID_INDICATOR_FORMAT)); }
  void Wait(uint64_t ms) { frame_->Ui().Advance(ms); }
  std::string Sox(const std::string& name, const std::string& synth) {
    testenv::Shell("sox -n -r 8000 -c 2 -b 16 " + testenv::Quote(dir_.HostPath(name)) + " synth " + synth + " 2>/dev/null");
    return Win(name);
  }
  CQelView view_;
};

TEST_F(MediaPlayerTest, PlayPauseSeekAndStopThroughTheRequests) {
  SKIP_WITHOUT_PROGRAM("sox");
  Show(Sox("a.wav", "20 sine 300"));
  EXPECT_EQ(Status(), "  [STOP]     PLAY      PAUSE");
  view_.MediaCommand(4, 1);
  EXPECT_EQ(view_.Media().m_nPlayerState, 1);
  EXPECT_EQ(view_.Media().m_nMediaLength, 20000);
  EXPECT_EQ(doc_->Media().m_nMediaState, 1);
  Wait(2600);
  EXPECT_EQ(Status(), "   STOP     [PLAY]     PAUSE     : posi = 0 min 02 sec / 0 min 20 sec    vol=127");
  EXPECT_EQ(Rule(), "---0---------------------------  ");
  view_.MediaCommand(3, 1);  // pause
  EXPECT_EQ(view_.Media().m_nPlayerState, 2);
  Wait(4000);
  EXPECT_EQ(Status(), "   STOP      PLAY     [PAUSE]    : posi = 0 min 02.60 sec / 0 min 20.00 sec    vol=127");
  // Fast forward while paused moves 125 ms and stays paused.
  view_.MediaCommand(2, 1);
  EXPECT_EQ(view_.Media().m_nMediaPos, 2725);
  EXPECT_EQ(view_.Media().m_nPlayerState, 2);
  view_.MediaCommand(3, 1);  // resume
  Wait(1000);
  view_.MediaCommand(8, 1);  // jump one minute: past the end, a second before it
  EXPECT_EQ(view_.Media().m_nMediaPos, 19000);
  Wait(1200);
  // The position poll found the end and closed the device.
  EXPECT_EQ(view_.Media().m_nPlayerState, -2);
  EXPECT_EQ(doc_->Media().m_strMediaFile, "");
  EXPECT_EQ(Status(), "  [STOP]     PLAY      PAUSE");
  // Play, then play/stop again: the second request stops and closes; a third plays anew.
  view_.MediaCommand(4, 1);
  EXPECT_EQ(view_.Media().m_nPlayerState, 1);
  view_.MediaCommand(4, 1);
  EXPECT_EQ(view_.Media().m_nPlayerState, -2);
  view_.MediaCommand(4, 1);
  EXPECT_EQ(view_.Media().m_nPlayerState, 1);
}

TEST_F(MediaPlayerTest, VolumeStepsRepeatMarksAndRepeatPlay) {
  SKIP_WITHOUT_PROGRAM("sox");
  Show(Sox("v.wav", "5 sine 300"));
  view_.MediaCommand(4, 1);
  struct Step {
    int code;
    int ctrl;
    int volume;
  };
  // From full: 0x2000 steps down, 0x200 with Ctrl; up stops at 0xFFFF.
  for (const Step& s : {Step{5, 0, 112}, Step{5, 0, 96}, Step{5, 1, 95}, Step{6, 0, 111}, Step{6, 0, 127}, Step{6, 0, 127}}) {
    doc_->m_bCtrlDown = s.ctrl;
    view_.MediaCommand(s.code, 1);
    EXPECT_EQ(view_.Media().m_nVolume, s.volume) << s.code << " ctrl " << s.ctrl;
  }
  doc_->m_bCtrlDown = 0;
  EXPECT_EQ(frame_->Mci().WaveVolume(), 0xFFFFFFFFu);
  Wait(2400);
  view_.MediaCommand(9, 1);
  EXPECT_EQ(view_.Media().m_nRepeatStart, 2400);
  Wait(1000);
  view_.MediaCommand(9, 1);
  EXPECT_EQ(view_.Media().m_nRepeatEnd, 3400);
  EXPECT_EQ(Rule(), "--------------+-----+----------  ");
  view_.OnKeyDown('O');  // repeat on: past the end mark the play goes back to the start mark
  EXPECT_EQ(view_.Media().m_bPlayRepeat, 1);
  Wait(400);
  EXPECT_EQ(view_.Media().m_nPlayerState, 1);
  EXPECT_EQ(view_.Media().m_nMediaPos, 2600);
  EXPECT_NE(Status().find("repeat on"), std::string::npos) << Status();
  view_.MediaCommand(9, 1);
  EXPECT_EQ(view_.Media().m_nRepeatStart, -1);
  EXPECT_EQ(view_.Media().m_nRepeatEnd, -1);
}

TEST_F(MediaPlayerTest, PauseWithABlankInThePathHoldsThePosition) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  // A video pauses by "pause" and the path: it goes in quotes.
  testenv::Shell("ffmpeg -y -loglevel error -f lavfi -i testsrc=d=4:s=64x48:r=25 -c:v mpeg4 " +
                 testenv::Quote(dir_.HostPath("a clip.avi")));
  Show(Win("a clip.avi"));
  view_.MediaCommand(4, 1);
  EXPECT_EQ(view_.Media().m_nVideoWidth, 64);
  EXPECT_EQ(view_.Media().m_nVideoHeight, 48);
  Wait(1000);
  view_.MediaCommand(3, 1);
  EXPECT_EQ(view_.Media().m_nPlayerState, 2);
  const int held = view_.Media().m_nMediaPos;
  Wait(2000);
  view_.MediaCommand(2, 1);  // a frame forward: 40 ms at 25 frames a second
  EXPECT_EQ(view_.Media().m_nMediaPos, held + 40);
  EXPECT_NE(Status().find("PAUSE]"), std::string::npos) << Status();
  EXPECT_EQ(Status().find("not open"), std::string::npos) << Status();
  EXPECT_NE(Status().find(" 48 x  64 x 1"), std::string::npos) << Status();
  view_.MediaCommand(6, 1);  // zoom in: 141 %
  EXPECT_EQ(view_.Media().m_rcVideo.right, 64 * 141 / 100);
}

// Fault: length x (v - 100) overflowed 32 bits past about three hours.
TEST_F(MediaPlayerTest, SeekByFractionOfALongMediumFault) {
  Show(WriteFile("long.mid", MidiOfSeconds(4 * 3600)));
  view_.MediaCommand(4, 1);
  ASSERT_EQ(view_.Media().m_nMediaLength, 4 * 3600 * 1000);
  view_.MediaCommand(271, 1);
  EXPECT_EQ(view_.Media().m_nMediaPos, 4 * 3600 * 1000 / 180 * 171);
}

// Fault: position x 30 overflowed 32 bits in the rule past about twenty hours.
TEST_F(MediaPlayerTest, RuleOfAVeryLongMediumFault) {
  Show(WriteFile("day.mid", MidiOfSeconds(100 * 3600)));
  view_.MediaCommand(4, 1);
  view_.MediaCommand(190, 1);  // to the middle
  Wait(200);
  EXPECT_EQ(Rule(), "---------------0---------------  ");
}

// Fault: the rule divided by a length of 0, and by the last index 0 of a slide show.
TEST_F(MediaPlayerTest, RuleWithZeroLengthFault) {
  view_.Media().m_nPlayerState = 1;
  doc_->m_nActivePane = 1;
  view_.Media().m_nRepeatStart = 5;
  view_.ShowPlayerStatus(5, 0);
  EXPECT_EQ(Rule(), "-------------------------------  ");
  doc_->m_nQuietState = 1;
  doc_->Media().m_nPlayLast = 0;
  view_.ShowPlayerStatus(5, 0);
  EXPECT_EQ(Rule(), "-------------------------------  ");
}

// Fault: on media shorter than a second, a seek past the end went to length - 1,000 < 0.
TEST_F(MediaPlayerTest, SeekPastTheEndOfAShortMediumFault) {
  SKIP_WITHOUT_PROGRAM("sox");
  Show(Sox("short.wav", "0.5 sine 300"));
  view_.MediaCommand(4, 1);
  view_.MediaCommand(3, 1);
  view_.MediaCommand(3, 1);
  view_.MediaCommand(22, 1);
  EXPECT_EQ(view_.Media().m_nMediaPos, 0);
  EXPECT_EQ(view_.Media().m_nPlayerState, 1);
  EXPECT_EQ(Status().find("range"), std::string::npos) << Status();
}

TEST_F(MediaPlayerTest, AFileThatCannotPlayShowsTheErrorAndStops) {
  Show(WriteFile("bad.wav", "RIFF but not a wave at all"));
  view_.MediaCommand(4, 1);
  EXPECT_EQ(view_.Media().m_nPlayerState, -2);
  EXPECT_FALSE(Status().empty());
  EXPECT_EQ(Status().find("PLAY]"), std::string::npos) << Status();
}

TEST_F(MediaPlayerTest, AnotherFileClosesThePlayer) {
  SKIP_WITHOUT_PROGRAM("sox");
  Show(Sox("one.wav", "5 sine 300"));
  view_.MediaCommand(4, 1);
  Wait(500);
  Show(WriteFile("t.txt", "text"));
  EXPECT_EQ(view_.Media().m_nPlayerState, -2);
  EXPECT_EQ(frame_->Mci().Find(Win("one.wav")), nullptr);
  EXPECT_FALSE(frame_->Ui().HasTimer(&view_, 12));
}

// The video window paints into the pane's surface at its place, over the pane's
// background; a pane that goes away takes its surface back from the devices, so the
// clock running on paints nowhere (the address sanitizer watches).
TEST_F(MediaPlayerTest, TheVideoWindowPaintsIntoThePaneUntilThePaneGoes) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  testenv::Shell("ffmpeg -y -loglevel error -f lavfi -i color=c=red:d=4:s=64x48:r=25 -c:v mpeg4 -q:v 2 " +
                 testenv::Quote(dir_.HostPath("red.avi")));
  {
    CQelView pane(*doc_, 2);
    Show(Win("red.avi"));
    pane.MediaCommand(kMediaPlayStop, 1);
    Wait(400);
    ASSERT_EQ(pane.Pane().m_paneSurface.width, CQelView::kClientWidth);
    const COLORREF inside = plat::ColorOfPixel(pane.Pane().m_paneSurface.At(30, 20));
    EXPECT_GT(inside & 0xFF, 0xE0u);
    EXPECT_LT(inside >> 8 & 0xFF, 0x20u);
    EXPECT_EQ(plat::ColorOfPixel(pane.Pane().m_paneSurface.At(100, 100)), doc_->m_clrTextBack);
  }
  Wait(1000);
}

}  // namespace
