#include "archive/FailureReason.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "codec/CodecError.h"
#include "codec/MemberPath.h"
#include "frame/MainFrame.h"
#include "codec/ErrorCodes.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace {

std::string Text(const char* utf8) { return plat::Utf8ToCp932Lossy(utf8); }

bool OneOf(std::string_view code, std::initializer_list<const char*> codes) {
  for (const char* c : codes)
    if (code == c) return true;
  return false;
}

std::string SizeText(uint64_t bytes) {
  constexpr uint64_t kMegabyte = 1 << 20;
  constexpr uint64_t kSmall = 10 * 1024;  // below it kilobytes would round a full disk to "0KB"
  if (bytes < kSmall) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  return bytes >= kMegabyte ? std::to_string(bytes / kMegabyte) + "MB" : std::to_string(bytes / 1024) + "KB";
}

}  // namespace

std::string ReasonOfCode(std::string_view code) {
  namespace e = codec::err;
  if (OneOf(code, {e::kCrcMismatch, e::kLzhCrc})) return Text("CRCが一致しません");
  if (code == e::kSizeMismatch) return Text("大きさがヘッダーと一致しません");
  if (code == e::kOverlap) return Text("メンバーのデータが重なっています");
  if (code == e::kEncrypted) return Text("暗号化されています");
  if (code == e::kTooLarge) return Text("4GB以上のファイルは扱えません");
  if (code == e::kLzhMethod) return Text("対応していない圧縮形式です");
  if (code == e::kLzhInputEnded) return Text("データが途中で終わっています");
  if (code == e::kWrite) return Text("書き込めません");
  if (OneOf(code, {e::kLocalNameBeyond, e::kLocalHeaderBeyond, e::kLocalSignature, e::kCentralSignature, e::kDescriptor,
                   e::kDirectory, e::kLzhExtHeader, e::kLzhHeader, e::kLzhLevel}))
    return Text("書庫のヘッダーが壊れています");
  return Text("圧縮データが壊れています");
}

std::string TroubleReason(WriteTrouble trouble) {
  switch (trouble) {
    case WriteTrouble::LinkInTheWay: return Text("シンボリックリンクがあります");
    case WriteTrouble::FolderInTheWay: return Text("同じ名前のフォルダーがあります");
    case WriteTrouble::FileInTheWay: return Text("フォルダーの位置に同じ名前のファイルがあります");
    case WriteTrouble::BadName: return Text("ファイル名が正しくありません");
    case WriteTrouble::NotShiftJis: return Text("Shift-JISで表せない文字を含む名前です");
    case WriteTrouble::Special: return Text("ファイルでもフォルダーでもありません");
  }
  return "";
}

std::string ErrnoReason(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: return Text("ディスクの空きが足りません");
    case EFBIG: return Text("ファイルの大きさの上限を超えます");
    case EACCES:
    case EPERM: return Text("アクセスが許可されていません");
    case EROFS: return Text("書込み禁止です");
    case ELOOP: return TroubleReason(WriteTrouble::LinkInTheWay);
    case EISDIR: return TroubleReason(WriteTrouble::FolderInTheWay);
    case ENOTDIR: return TroubleReason(WriteTrouble::FileInTheWay);
    case EEXIST: return Text("同じ名前のものがあります");
    case ENAMETOOLONG: return Text("名前が長過ぎます");
    default: return plat::Utf8ToCp932Lossy(std::strerror(error));
  }
}

std::string CodeWithReason(const char* code, const std::string& reason) {
  return std::string(code) + " " + (reason.empty() ? ReasonOfCode(code) : reason);
}

std::string CodeWithReason(const codec::CodecError& error) { return CodeWithReason(error.Code(), error.Reason()); }

std::optional<std::string> NoRoomReason(uint64_t total, uint64_t largest, std::string_view folder) {
  namespace e = codec::err;
  std::optional<int64_t> room = plat::FreeSpace(folder);
  if (room && total > static_cast<uint64_t>(*room))
    return CodeWithReason(e::kWrite, ErrnoReason(ENOSPC) + " (" + SizeText(total) + " > " + SizeText(static_cast<uint64_t>(*room)) + ")");
  std::optional<int64_t> limit = plat::FileSizeLimit();
  if (limit && largest > static_cast<uint64_t>(*limit)) return CodeWithReason(e::kWrite, ErrnoReason(EFBIG) + " (" + SizeText(largest) + ")");
  return std::nullopt;
}

ArchiveStatus FinishedLeavingOut(const std::string& archive, size_t count, Loss loss) {
  if (count == 0) return ArchiveStatus::Done();
  const std::string n = std::to_string(count);
  AfxNote(plat::ShownPath(archive) +
          plat::Utf8ToCp932Lossy(loss == Loss::NotStored ? " : 警告 : リンクと特殊ファイル " + n + " 個を格納せずに作成しました"
                                                         : " : 警告 : " + n + " 個のメンバーを書き出さずに解凍しました"));
  return ArchiveStatus::Done().WarnIf(true);
}

ArchiveStatus RunCodec(const std::function<void()>& call) {
  try {
    call();
    return ArchiveStatus::Done();
  } catch (const codec::CodecError& e) {
    ArchiveStatus s = ArchiveStatus::Fail();
    s.codecCode = e.Code();
    s.reason = CodeWithReason(e);
    return s;
  }
}
