// The document's built-in decoders (CQelDoc::DecodeBmp, DecodeGif, DecodeTiff,
// DecodePng): the picture decoders of the same names, run with the document's
// context, make their block the DocImage's and mark the picture short when its data
// ended before the last row.
#include <cstdio>
#include <utility>

#include "app/QelDoc.h"
#include "image/ImageState.h"
#include "image/ImageStatus.h"
#include "image/codecs/PictureDecoders.h"

int CQelDoc::DecodeBmp(const uint8_t* file, int length, BITMAPINFO* out) {
  PictureBlock picture;
  if (DecodeBmpBlock(file, length, m_nBmpFileLimit, out, picture, DocPictureContext(*this)) == 0) return 0;
  SetImageBlock(std::move(picture.block));
  // A file that ends before its rows is short, not over the volume, even when its
  // header declares more than the volume holds.
  Image().m_bImageShort = picture.whole ? 0 : 1;
  Image().m_bImageCut = picture.cut && picture.whole ? 1 : 0;
  return 1;
}

int CQelDoc::DecodeGif(const uint8_t* file, int length, BITMAPINFO* out) {
  PictureBlock picture;
  const int decoded = DecodeGifBlock(file, length, out, picture, DocPictureContext(*this));
  if (decoded == 0) return 0;
  SetImageBlock(std::move(picture.block));
  Image().m_bImageShort = picture.whole ? 0 : 1;
  return decoded;
}

int CQelDoc::DecodeTiff(const uint8_t* file, int length, BITMAPINFO* out) {
  PictureBlock picture;
  const int decoded = DecodeTiffBlock(file, length, out, picture, DocPictureContext(*this));
  if (decoded == 0) return 0;
  SetImageBlock(std::move(picture.block));
  Image().m_bImageShort = picture.whole ? 0 : 1;
  return decoded;
}

int CQelDoc::DecodePng(const uint8_t* file, int length, BITMAPINFO* out) {
  PictureBlock picture;
  PictureContext cx = DocPictureContext(*this);
  cx.keepBytes = Image().m_nRowsKept;
  if (DecodePngBlock(file, length, out, picture, cx) == 0) return 0;
  const int dibBits = out->bmiHeader.biBitCount;
  SetImageBlock(std::move(picture.block));
  Image().m_bImageShort = picture.whole ? 0 : 1;
  if (m_nQuietState == 0) {
    char status[32];
    std::snprintf(status, sizeof status, "Ping %d bit", dibBits);
    ShowImageFormat(status);
  }
  return 1;
}
