#pragma once
// The messages the program tells its user, and the one way it tells them.
#include <string>

#include "platform/format_text.h"
#include "resources/string_table.h"

namespace dl {

// A message in both languages: its Japanese text, and its English one by string-table id.
struct Message {
    const char* japanese;
    StringId english;
};

// The text in the interface language.
const char* MessageText(const Message& m);

// Shows a message box owned by the main window, with the program's caption and the exclamation
// icon (with a message-box hook installed, the batch commands and the tests take it instead).
void ReportMessage(const std::string& text);
void ReportMessage(const Message& m);
// A message whose text is a format, with its figures.
template <class... Figures>
void ReportMessage(const Message& m, Figures... figures) {
    ReportMessage(format_text(MessageText(m), figures...));
}

// What the program says of its own faults (a resource it lost track of, a converter code, a damaged
// header it read on): a plain box, without an icon, owned by the main window unless said otherwise.
void ShowDiagnostic(const std::string& text, const std::string& caption = "", bool owned = true);

// The messages of a run, by name.
inline constexpr Message kMsgNotEnoughMemory{"メモリ不足です。", StringId::NotEnoughMemory};
inline constexpr Message kMsgCannotReadData{"データチャンクを読み取れません。%d %ld", StringId::CannotReadData};
inline constexpr Message kMsgHeaderFailed{"ウェーブヘッダーの準備ができません", StringId::HeaderFailed};
inline constexpr Message kMsgWriteFailed{"デバイスへの出力に失敗しました。", StringId::WriteFailed};
inline constexpr Message kMsgCannotOpenInput{"音声入力デバイスを開けません。", StringId::CannotOpenInput};
inline constexpr Message kMsgAddBufferFailed{"バッファの登録に失敗", StringId::AddBufferFailed};
inline constexpr Message kMsgRecordFailed{"録音失敗", StringId::RecordFailed};
inline constexpr Message kMsgCannotConvert{"cannot convert", StringId::CannotConvert};
inline constexpr Message kMsgRestUndecoded{
    "ファイルの残り %llu バイトをデコードできません。音は %.2f 秒で終わります。", StringId::RestUndecoded};
inline constexpr Message kMsgEndsShort{
    "ファイルは %.2f 秒で終わっています (ヘッダーでは %.2f 秒)。残りがありません。", StringId::EndsShort};
// The input device cannot record the record port's format.
inline constexpr Message kMsgFormatNotRecordable{"サウンドドライバは、この形式を録音できません。",
                                                 StringId::FormatNotPlayable};
// Memory mode's status in the level panel while its one buffer is prepared.
inline constexpr Message kMsgReadingFile{"ファイル読み込み中", StringId::ReadingFile};
inline constexpr Message kMsgAllocatingMemory{"メモリ確保中", StringId::AllocatingMemory};
// The window's own.
inline constexpr Message kMsgRecentFileGone{
    "このファイルはもうありません。最近使ったファイルの一覧から外しました。", StringId::RecentFileGone};
inline constexpr Message kMsgPictureNotSaved{"画像を保存できませんでした。", StringId::PictureNotSaved};
// Time the monitored input has no sound for, said as it is found, and the source panel's line that
// sums it up (in place of "Free:").
inline constexpr Message kMsgInputNotDelivered{
    "入力: %.3f 秒の音が %.3f 秒の位置で欠けています。入力デバイスから届きませんでした (停止またはオーバーラン)。",
    StringId::InputNotDelivered};
inline constexpr Message kMsgInputOverflow{
    "入力: %.3f 秒の音を %.3f 秒の位置で捨てました。解析が遅れすぎました (マシンが混み合っています)。",
    StringId::InputOverflow};
inline constexpr Message kMsgInputLostLine{"欠落:%8.2f 秒 %4d 回   ", StringId::InputLostLine};
// Export, Copy and the references.
inline constexpr Message kMsgNoSpectrumYet{"まだスペクトルがありません。ファイルを再生するか入力をモニタしてください。",
                                           StringId::NoSpectrumYet};
inline constexpr Message kMsgNoPeakList{"最後のブロックにはピークの一覧がありません。", StringId::NoPeakList};
inline constexpr Message kMsgNothingLogged{"開始してから何も解析していません。", StringId::NothingLogged};
inline constexpr Message kMsgFileNotWritten{"ファイルを書き込めませんでした。", StringId::FileNotWritten};
inline constexpr Message kMsgReferencesFull{
    "基準スペクトルは既に4つあります。基準をクリア (Ctrl+Shift+H) すると追加できます。", StringId::ReferencesFull};
inline constexpr Message kMsgNotASpectrum{"このファイルはスペクトルではありません:", StringId::NotASpectrum};
inline constexpr Message kMsgNoReferenceHeld{"基準スペクトルがありません。", StringId::NoReferenceHeld};
inline constexpr Message kMsgReferencesNotKept{"基準スペクトルを次回のために保存できませんでした。",
                                               StringId::ReferencesNotKept};
inline constexpr Message kMsgKeptReferencesUnread{"前回の基準スペクトルを読み込めませんでした:",
                                                  StringId::KeptReferencesUnread};

}  // namespace dl
