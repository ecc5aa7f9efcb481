// The document's media fields: the player's state and the recorder's.
#pragma once

#include <cstdint>
#include <string>

struct MediaState {
  int m_nMediaState = 0;
  std::string m_strMediaFile;  // the name being played, "" when none
  std::string m_strPlayFile;   // handed over by a list macro or slide show
  int m_bMediaRepeat = 0;
  int m_bMediaAutoPlay = 0;
  int m_nRecordState = 0;      // 0 idle, 1 recording, 2 paused
  int m_nRecordRate = 48;      // 48 means 48,000 Hz
  int m_nPlayIndex = 0;
  int m_nPlayLast = 0;
  int m_nPlayStep = 0;
  std::string m_strAudioDevice = "default";  // the ALSA device ("audiodev")
  std::string m_strSoundFont;  // the General MIDI SoundFont ("soundfont"; "" the system's)
  // The local date and time the program clock starts from, as seconds from 1970 read
  // as local time ("clock=YYYY-MM-DDTHH:MM:SS"); -1: the real local time.
  int64_t m_tClockStart = -1;
};
