// RTF in and out of the rich-edit control, and its clipboard: a region streamed out
// and back in comes back unchanged.
#include <algorithm>
#include <map>
#include <new>
#include <stdexcept>

#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichFormatKey.h"

namespace plat {

bool RichEdit::StreamInRtf(std::string_view rtf, bool selection) {
  objectsLeftOut_ = 0;
  const size_t objectsBefore = objects_.size();
  try {
    const RichFragment frag = ReadRtf(rtf, defaultFormat_, hook_);
    InsertFragment(frag, selection, !selection);
    objectsLeftOut_ = frag.objectsLeftOut;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  if (!selection) {
    selMin_ = selMax_ = 0;
    scroll_ = CPoint{};
    EmptyUndoBuffer();
    modified_ = false;
    // Nothing refers to the objects of the text replaced (undo is gone with it): a
    // large picture is not kept once for every time the text is streamed in again.
    for (size_t i = 0; i < objectsBefore; ++i) std::string().swap(objects_[i]);
  }
  return true;
}

std::string RichEdit::StreamOutRtf(bool selection) const {
  const int cpMin = selection ? selMin_ : 0;
  const int cpMax = selection ? selMax_ : GetTextLength();
  const int b0 = ByteFromChar(cpMin);
  const int b1 = ByteFromChar(cpMax);
  RichFragment frag;
  frag.text = text_.substr(static_cast<size_t>(b0), static_cast<size_t>(b1 - b0));
  frag.formatOfByte.resize(frag.text.size());
  std::map<uint16_t, uint16_t> map;
  for (int i = b0; i < b1; ++i) {
    const uint16_t f = fmt_[static_cast<size_t>(i)];
    auto it = map.find(f);
    if (it == map.end()) {
      it = map.emplace(f, static_cast<uint16_t>(frag.formats.size())).first;
      frag.formats.push_back(formats_[f].cf);
    }
    frag.formatOfByte[static_cast<size_t>(i - b0)] = it->second;
    if (text_[static_cast<size_t>(i)] == kObjectChar && formats_[f].object >= 0) {
      frag.objects.push_back(objects_[static_cast<size_t>(formats_[f].object)]);
    }
  }
  for (const WideChar& w : wide_) {
    if (w.byte >= b0 && w.byte < b1) frag.wide.push_back({w.byte - b0, w.code});
  }
  for (int line = ExLineFromChar(cpMin); line <= ExLineFromChar(cpMax); ++line) {
    frag.AddPara(ParaOfLine(line));
  }
  return WriteRtf(frag, defaultFormat_);
}

void RichEdit::Copy(Clipboard& clip) const {
  if (selMin_ == selMax_) return;
  std::string text;
  for (char c : GetSelText()) {
    if (c == '\r') {
      text += "\r\n";
    } else if (c != kObjectChar) {
      text += c;
    }
  }
  clip.Empty();
  clip.SetData(CF_TEXT, text);
  clip.SetData(CF_RTF, StreamOutRtf(true));
  // One picture object selected: its picture goes too, as a packed DIB.
  if (const std::string* object = SelectedObject()) {
    const std::string dib = PictureObjectDib(*object);
    if (!dib.empty()) clip.SetData(CF_DIB, dib);
  }
}

void RichEdit::Cut(Clipboard& clip) {
  if (selMin_ == selMax_) return;
  Copy(clip);
  ReplaceSel("", true);
}

void RichEdit::Paste(const Clipboard& clip) {
  if (clip.IsFormatAvailable(CF_RTF)) {
    StreamInRtf(clip.GetData(CF_RTF), true);
  } else if (clip.IsFormatAvailable(CF_TEXT)) {
    ReplaceSel(clip.GetData(CF_TEXT), true);
  } else if (clip.IsFormatAvailable(CF_DIB)) {
    std::string object = DibPictureObjectRtf(clip.GetData(CF_DIB));
    if (object.empty()) return;
    RichFragment frag;
    frag.text.assign(1, kObjectChar);
    frag.formatOfByte.assign(1, 0);
    frag.formats.push_back(GetCharFormat(true));
    frag.objectOfByte.assign(1, 0);
    frag.objects.push_back(std::move(object));
    InsertFragment(frag, true, false);
  }
}

}  // namespace plat
