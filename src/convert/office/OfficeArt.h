// The OfficeArt drawing records that the workbook and presentation roads read (a
// record: 4 bits version, 12 bits instance, 16 bits type, 32 bits length), the
// picture kinds of the picture store and the shape properties used, by name. Code
// compares against these names, never bare numbers.
#pragma once

#include <cstdint>

enum OfficeArtRecord : uint16_t {
  kArtStoreContainer = 0xF001,  // the picture store
  kArtStoreEntry = 0xF007,      // one stored picture
  kArtShape = 0xF00A,
  kArtProperties = 0xF00B,      // a shape's property table
  kArtClientAnchor = 0xF010,
};

// A stored picture's kind: the first byte of its store entry (version 2 and the kind
// in the instance bits); the Word road gives its pictures the same kinds.
enum OfficeArtBlip : uint8_t {
  kBlipEmf = 0x22,
  kBlipWmf = 0x32,
  kBlipJpeg = 0x52,
  kBlipPng = 0x62,
};

// Shape properties: the number of the shape's picture in the store, with the flag a
// reference to the store carries; the shape kind of a picture frame.
inline constexpr uint16_t kArtPictureNumber = 0x0104;
inline constexpr uint16_t kArtStoreReference = 0x4000;
inline constexpr int kArtPictureFrame = 75;
