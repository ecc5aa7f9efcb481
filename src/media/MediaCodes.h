// The player's protocol numbers. A MediaRequest is what the pane's commands, keys,
// update and timers hand to CQelView::MediaCommand (with flag 1 it is translated by
// the player state); a MediaAction is what the translation makes of it, and what
// callers with flag 0 pass directly. Some numbers are both: the seeks by five
// seconds, the volume steps and the values above 90.
#pragma once

enum MediaRequest : int {
  kMediaRewind = 1,         // back 5 s; one frame back while paused
  kMediaForward = 2,        // on 5 s; one frame on while paused
  kMediaPause = 3,          // pause or resume; play when idle
  kMediaPlayStop = 4,       // play, or stop and close
  kMediaDown = 5,           // the pane's zoom-out: volume (audio) or video zoom down
  kMediaUp = 6,             // the pane's zoom-in
  kMediaJumpBack = 7,       // Ctrl with rewind: a minute back while playing
  kMediaJumpForward = 8,
  kMediaRepeatMark = 9,
  kMediaTakeRepeat = 10,    // copy the document's repeat setting into the pane
  kMediaSeekBack = 21,      // back 5 s, paused or not
  kMediaSeekForward = 22,
  kMediaRecord = 31,        // the recorder's: start or stop (document request)
  kMediaRecordPause = 32,   // the recorder's: pause or resume (document request)
  kMediaVolumeDown = 41,    // the volume keys, on every media kind
  kMediaVolumeUp = 42,
  kMediaDirectStop = 51,    // 51 to 54: actions 0, 1, 53 and 54 whatever the state
  kMediaDirectPlay = 52,
  kMediaDirectHold = 53,
  kMediaDirectPlayFrom = 54,
  kMediaClose = 89,         // the load road: the pane lets go of its device
  kMediaSeekRequest = 90,   // above: seek to (value - 100) / 180 of the length
};

enum MediaAction : int {
  kActionStop = 0,          // stop and close
  kActionPlay = 1,          // open when closed, then play or resume
  kActionPause = 2,
  kActionClose = 8,
  kActionOpenCheck = 9,     // bind to the shown file: -1 when already bound, else close
  kActionFrameBack = 11,
  kActionFrameForward = 12,
  kActionSeekBack = 21,     // 5 s
  kActionSeekForward = 22,
  kActionJumpBack = 27,     // a minute while playing, else 5 s
  kActionJumpForward = 28,
  kActionDown = 31,         // volume (audio kinds) or video zoom
  kActionUp = 32,
  kActionScrollX = 33,      // the pane scrolled: the video window follows
  kActionScrollY = 34,
  kActionRepeatMark = 35,
  kActionVolumeDown = 41,   // every media kind
  kActionVolumeUp = 42,
  kActionHold = 53,         // pause, marking the state paused first
  kActionPlayFrom = 54,     // play from the position
  kActionSeekFirst = 91,    // 91 to 299: seek to (value - 100) / 180 of the length
  kActionSeekLast = 299,
  kActionMarkFirst = 391,   // 391 to 599: a repeat mark at (value - 400) / 180
  kActionMarkLast = 599,
};

// The fraction of the length that the seek and mark codes above stand for.
inline constexpr int kMediaSeekBase = 100;
inline constexpr int kMediaMarkBase = 400;
inline constexpr int kMediaFractionSteps = 180;

// The pane's media timers: 10 and 11 end a window fit, 12 polls the position, 50 is
// the recording clock.
enum MediaTimer : int {
  kTimerFitFrame = 10,
  kTimerFitWindow = 11,
  kTimerPosition = 12,
  kTimerRecord = 50,
};

// The recorder's modes (CQelView::RecordWave).
enum RecordMode : int {
  kRecordStop = 0,   // stop and save
  kRecordStart = 1,
  kRecordPause = 2,  // pause or resume
  kRecordClose = 3,  // the pane goes while recording: save beside the others, say where
};
// RecordWave's result when the recording stopped at the most a WAV file holds (saved whole).
inline constexpr int kRecordCut = -2;
