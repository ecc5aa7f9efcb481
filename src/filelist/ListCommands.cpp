// The file list's commands that call into the image and internet subsystems. Their
// handlers come with those subsystems; until then each row names its command, so
// that scripts and the command listing know it, and is refused. The archive
// commands are archive/ArchiveCommands.cpp's rows.
#include "filelist/ListCommands.h"

#include "image/ImageCommands.h"
#include "net/NetCommands.h"

namespace {

constexpr CommandEntry kRows[] = {
    {33507, "ID_LIST_BATCH_CONVERT", "一括変換", CommandTarget::FileList, OnListBatchConvert, nullptr, "convert"},
    {33508, "ID_LIST_IMAGE_CONCAT", "画像の連結", CommandTarget::FileList, nullptr},
    {33509, "ID_LIST_MACRO", "リストマクロ実行", CommandTarget::FileList, nullptr},
    {33510, "ID_LIST_FTP_CONNECT", "FTP接続", CommandTarget::FileList, OnListFtpConnect, OnUpdateListFtpConnect, "ftp-connect"},
    {33511, "ID_LIST_FTP_CLOSE", "FTP切断", CommandTarget::FileList, OnListFtpClose, OnUpdateListFtpClose, "ftp-close"},
    {33512, "ID_LIST_FTP_SETTINGS", "FTP・ネットワーク設定", CommandTarget::FileList, OnListFtpSettings, nullptr, "ftp-settings"},
};

}  // namespace

CommandRows ListCommands() { return kRows; }
