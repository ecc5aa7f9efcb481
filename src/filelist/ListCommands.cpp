// The file list's commands that call into the archive, image and internet
// subsystems. Their handlers come with those subsystems; until then each row names
// its command, so that scripts and the command listing know it, and is refused.
#include "filelist/ListCommands.h"

#include "image/ImageCommands.h"

namespace {

constexpr CommandEntry kRows[] = {
    {33500, "ID_LIST_COMPRESS_ZIP", "ZIP圧縮", CommandTarget::FileList, nullptr},
    {33501, "ID_LIST_COMPRESS_LZH", "LZH圧縮", CommandTarget::FileList, nullptr},
    {33502, "ID_LIST_UNPACK", "解凍", CommandTarget::FileList, nullptr},
    {33503, "ID_LIST_PROTECT", "保護形式に変換", CommandTarget::FileList, nullptr},
    {33504, "ID_LIST_UNPROTECT", "保護形式を解除", CommandTarget::FileList, nullptr},
    {33505, "ID_LIST_ENCRYPT_NAME", "ファイル名の暗号化", CommandTarget::FileList, nullptr},
    {33506, "ID_LIST_DECRYPT_NAME", "ファイル名の復号", CommandTarget::FileList, nullptr},
    {33507, "ID_LIST_BATCH_CONVERT", "一括変換", CommandTarget::FileList, OnListBatchConvert},
    {33508, "ID_LIST_IMAGE_CONCAT", "画像の連結", CommandTarget::FileList, nullptr},
    {33509, "ID_LIST_MACRO", "リストマクロ実行", CommandTarget::FileList, nullptr},
    {33510, "ID_LIST_FTP_CONNECT", "FTP接続", CommandTarget::FileList, nullptr},
    {33511, "ID_LIST_FTP_CLOSE", "FTP切断", CommandTarget::FileList, nullptr},
    {33512, "ID_LIST_FTP_SETTINGS", "FTP・ネットワーク設定", CommandTarget::FileList, nullptr},
};

}  // namespace

CommandRows ListCommands() { return kRows; }
