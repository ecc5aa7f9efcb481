#include "platform/mci/MciErrors.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/text/CodePage.h"

namespace plat {
namespace {

struct ErrorText {
  MCIERROR error;
  const char* text;  // UTF-8
};

constexpr ErrorText kTexts[] = {
    {MCIERR_INVALID_DEVICE_ID, "無効なデバイス ID です。"},
    {MCIERR_UNRECOGNIZED_KEYWORD, "コマンドのパラメータを認識できません。"},
    {MCIERR_UNRECOGNIZED_COMMAND, "認識できないコマンドです。"},
    {MCIERR_HARDWARE, "サウンド デバイスを使えません。デバイスが正しく動いているか、設定 audiodev を確かめてください。"},
    {MCIERR_INVALID_DEVICE_NAME, "指定したデバイスは開かれていないか、MCI が認識できません。"},
    {MCIERR_OUT_OF_MEMORY, "メモリーが足りません。"},
    {MCIERR_DEVICE_OPEN, "指定したデバイスはすでに開かれています。"},
    {MCIERR_MISSING_COMMAND_STRING, "コマンド文字列がありません。"},
    {MCIERR_PARAM_OVERFLOW, "出力文字列が長すぎて、返却用のバッファに入りません。"},
    {MCIERR_BAD_INTEGER, "整数のパラメータが正しくありません。"},
    {MCIERR_MISSING_PARAMETER, "コマンドに必要なパラメータがありません。"},
    {MCIERR_UNSUPPORTED_FUNCTION, "この MCI デバイスはこのコマンドを使えません。"},
    {MCIERR_FILE_NOT_FOUND, "指定したファイルが見つかりません。"},
    {MCIERR_OUTOFRANGE, "パラメータの値が範囲の外です。"},
    {MCIERR_FILE_NOT_SAVED, "ファイルを保存できませんでした。"},
    {MCIERR_MISSING_DEVICE_NAME, "デバイス名がありません。"},
    {MCIERR_BAD_TIME_FORMAT, "指定した時間の形式は使えません。"},
    {MCIERR_NO_CLOSING_QUOTE, "閉じる二重引用符がありません。"},
    {MCIERR_INVALID_FILE, "このファイルはこのデバイスで再生できません。ファイルが壊れているか、形式が違います。"},
    {MCIERR_NULL_PARAMETER_BLOCK, "パラメータ ブロックがありません。"},
    {MCIERR_WAVE_INPUTSUNSUITABLE, "この形式で録音できる入力デバイスがありません。"},
    {MCIERR_NO_WINDOW, "表示用のウィンドウがありません。"},
    {MCIERR_FILE_READ, "ファイルを決められた時間内に読み終えられませんでした。中身のない部分が長すぎるか、読み出しが止まっています。"},
    {MCIERR_FILE_WRITE, "ファイルに書き込めません。"},
    {MCIERR_NOT_A_FILE, "通常のファイルではありません (名前付きパイプ、ソケット、デバイスなど)。再生しません。"},
};

}  // namespace

bool mciGetErrorString(MCIERROR error, char* buffer, unsigned length) {
  if (!buffer || length == 0) return false;
  buffer[0] = '\0';
  const auto* found = std::find_if(std::begin(kTexts), std::end(kTexts), [&](const ErrorText& e) { return e.error == error; });
  if (found == std::end(kTexts)) return false;
  const std::string text = Utf8ToCp932Lossy(found->text);
  size_t n = 0;
  while (n < text.size()) {
    const size_t step = IsSjisLeadByte(static_cast<uint8_t>(text[n])) ? 2 : 1;
    if (n + step > length - 1) break;
    n += step;
  }
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return true;
}

}  // namespace plat
