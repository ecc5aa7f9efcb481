// The string table: every message and text the system shows, by id, in UTF-8 in the
// source and handed out as CP932. Ids and texts are the system's own.
#include "app/StringTable.h"

#include <algorithm>
#include <iterator>

#include "platform/text/CodePage.h"

namespace {

struct StringEntry {
  int id;
  const char* text;
};

// Sorted by id.
constexpr StringEntry kStrings[] = {
    {117, " 太字"},
    {118, " 下線"},
    {119, " 斜体"},
    {120, " 取消し線"},
    {121, " 太字下線"},
    {122, " 太字斜体"},
    {123, " 平体"},
    {126, "\r\n検索アドレス"},
    {147, "## 暗号化されたデータがあります ##"},
    {150, " <表示容量をオーバーしています。設定メニューでテキスト又は画像表示容量を変更して下さい。>"},
    {152, "メモリーが足りません\r\n"},
    {159, "ftpサイトではできません"},
    {161, "ZIP圧縮エラー\r\nファイル名に特殊文字があるか、またはシステムファイルを含むため、ZIP32.DLLで圧縮できません。"},
    {162, "作成できません"},
    {177, "%s\r\n を書き換えますか？"},
    {179, "%s \nは書込み禁止又は他で使用中です。\n実行できません。"},
    {208, "このファイルの解凍は UNLHA32.DLL が必要です。 \n操作説明の「セットアップ」の項を参照してください。"},
    {210, "対応していないフォーマットです。"},
    {217, "データ取り出し中（中止：ESCキー）"},
    {218, "ファイル %s は既に存在します。\n上書きしますか？"},
    {224, "初期化中"},
    {225, "接続中"},
    {226, "接続できません"},
    {227, "応答を待っています  addr = %s  file = %s"},
    {228, "要求への返事がありません"},
    {229, "ページがないか対応していないページです"},
    {230, "データを読込んでいます  addr = %s  file = %s"},
    {231, "データを読込んでいます         %d KB"},
    {232, "データの読み取りが完了しませんでした"},
    {233, "タイムオーバーです"},
    {234, "データがありません"},
    {235, "   <部分表示>"},
    {236, "実行ファイル(*.exe/dll/bin)|*.exe; *.dll; *.bin|圧縮ファイル(*.zip/lzh)|*.zip; *.lzh|全ファイル|*.*|| "},
    {237, "ファイルをオープンできません。\r\n"},
    {238, "ファイル容量オーバーです(>%dMB)。\r\n設定メニューで文書または画像ファイル容量を変更して下さい。"},
    {239, "\r\n\r\n <以後データ省略>\r\n"},
    {240, "\r\n 対応していないOffice形式です\r\n\r\n"},
    {241, "\n Enterキーか、マウス右クリック→「ファイル実行」で\nアプリケーションプログラムを呼び出してください。\n"},
    {242, "\nデータがグラフ又は図のみで、表の欄内に数値、文字はありません。\n"},
    {243, "\r\n *表項目数が設定最大値をオーバーしています。\r\n *メニューの設定で表項目数を %d(x100) 以上にしてください。\n\n"},
    {244, "\r\n 複合ファイルが壊れています (%sの循環)\r\n"},
    {245, "\r\n %sのファイルではありません\r\n"},
    {246, "\r\n ファイルが壊れています (%s)\r\n"},
    {267, "PDF : 描画形式図形、暗号データ又はアドレスが制限以上のファイルです。  "},
    {329, "%s \nは書込み禁止です。\n書込み可に変更して書換えますか？"},
    {330, "中止しますか？"},
    {332, "画像を表示できません。\n画像が大き過ぎるか、メモリーが足りません。"},
    {333, "登録された画像形式ですが、対応するプラグインソフトがありません。"},
    {334, "オブジェクトの形式が異なります。\nメニューの「保存」で保存するか、\n「画面保存」又は「データ画面保存」を使って下さい。"},
    {338, "直接圧縮又は暗号化保存できません。\n通常のファイルに保存してから変換して下さい。"},
    {349, "画像ファイルが壊れているか、または未対応の形式です。"},
    {351, "右クリックメニューで保存する領域を設定して下さい。"},
    {355, "UNLHA32.DLLが必要です。\n操作説明の「セットアップ」の項を参照してください。"},
    {387, "修正したデータは%s形式では保存出来ません。\r\n%s形式で保存してください。"},
    {389, "%s \nはディスクの空き容量が足りないため書き込めません。\n実行できません。"},
    {33031, "文字の指定（<>内）\n 数字:ｻｲｽﾞ  B:太字  Ｉ:斜字  U:下線  S:取消  P:文字背景\n T:等幅  p:ﾌﾟﾛﾎﾟｰｼｮﾅﾙ  C:中央  R:枠付  A:全体背景\n 色: r赤 g緑 b青 o橙 s空 u紫 i桃 t茶 y黄 a灰 w白 d黒\n 例: <15Br>  <bA-y>"},
    {33218, "画像表示容量が過大です。\n設定メニューで変更してください。"},
    {33901, "キーコードが違うため展開できません。"},
};

}  // namespace

const char* StringUtf8(int id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const StringEntry& e, int key) { return e.id < key; });
  return it != std::end(kStrings) && it->id == id ? it->text : nullptr;
}

std::string LoadString(int id) {
  const char* text = StringUtf8(id);
  return text ? plat::Utf8ToCp932Lossy(text) : std::string();
}

std::string FailureText(int id, const char* place) {
  std::string text = LoadString(id);
  if (place) text += place;
  return text;
}

std::string StringWith(int id, const std::string& value) {
  std::string text = LoadString(id);
  if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

std::string StatusText(const ConvertStatus& status) {
  std::string text = FailureText(status.stringId, status.place);
  if (const size_t at = text.find("%s"); at != std::string::npos) return text.replace(at, 2, status.detail);
  return text + status.detail;
}

std::string FileSizeOverText(int64_t volume) {
  constexpr int64_t kMegabyte = 1 << 20;
  std::string text = LoadString(IDS_FILE_SIZE_OVER);
  if (const size_t at = text.find("%dMB"); at != std::string::npos) {
    text.replace(at, 4, volume >= kMegabyte ? std::to_string(volume / kMegabyte) + "MB" : std::to_string(volume / 1024) + "KB");
  }
  return text;
}

std::vector<int> StringIds() {
  std::vector<int> ids;
  for (const auto& e : kStrings) ids.push_back(e.id);
  return ids;
}
