#include "convert/charmap/CharMaps.h"

int MapPdfDocChar(unsigned char* byte, unsigned char* prefix) {
  *prefix = ' ';
  const unsigned char b = *byte;
  auto set = [&](unsigned char out, unsigned char pre = ' ') {
    *byte = out;
    *prefix = pre;
    return 0;
  };
  switch (b) {
    case 0x96: case 0x97: case 0xBE: case 0xD0: return set('-');
    case 0x95: case 0xA5: case 0xB4: case 0xB7: return set(0xA5);
    case 0x93: case 0x94: case 0xD3: return set('"');
    case 0x91: case 0x92: case 0xD5: return set('\'');
    case 0x8E: return set('e');
    case 0xA2: return set(0x60);
    case 0xBA: case 0xC9: return set(0xDF);
    case 0x85: return set('.');
    case 0xA7: return set(0x98, 0x81);
    case 0xA8: return set('R', '(');
    case 0x9D: case 0xA9: case 0xE3: return set('C', '(');
    case 0x99: case 0xAA: return set('T', '(');
    case 0x0B: return set('f', 'f');
    case 0x0C: return set('i', 'f');
    case 0x0D: return set('l', 'f');
    case 0x0E: case 0x0F: return set('i', 0x0E);
    default: break;
  }
  if (b >= 0xA0 && b <= 0xDF) return 0;
  if (b >= 0x80) return set(0xB7);
  if (b >= 0x20) return 0;
  return set(static_cast<unsigned char>(b + 0x60));
}

int MapUnicodeToSjis(int cp, unsigned char* first, unsigned char* second) {
  auto one = [&](unsigned char c) {
    *first = c;
    *second = 0;
    return 1;
  };
  auto two = [&](unsigned char a, unsigned char b) {
    *first = a;
    *second = b;
    return 2;
  };
  if ((cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2800 && cp <= 0x28FF)) return one(' ');
  if (cp >= 0xE000 && cp <= 0xF8FF) return two(0x81, 0xA0);
  switch (cp) {
    case 0x2013: case 0x2212: return one('-');
    case 0x2014: return two(0x81, 0x5C);
    case 0x2022: case 0x22C5: return two(0x81, 0x45);
    case 0x2126: return two(0x83, 0xB6);
    case 0x2264: return two(0x81, 0x85);
    case 0x2265: return two(0x81, 0x86);
    case 0x25CA: return two(0x81, 0x9E);
    case 0x2611: case 0x2714: return two(0x83, 0x8C);
    case 0x2666: return two(0x81, 0x9F);
    case 0x2217: return two(0x81, 0x96);
    case 0x21D0: return two(0x81, 0xA9);
    case 0x21D1: return two(0x81, 0xAA);
    case 0x21D3: return two(0x81, 0xAB);
    case 0x2194: return two(0x81, 0xCC);
    case 0x220F: return two(0x84, 0x81);
    case 0x03D5: return two(0x83, 0xB3);
    case 0xFB01: return two('f', 'i');
    case 0xFB02: return two('f', 'l');
    default: return two(0x81, 0xA1);
  }
}
