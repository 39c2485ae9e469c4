#include "resources/menu_table.h"

namespace dl {

const std::vector<MenuBarEntry>& menu_table() {
    static const std::vector<MenuBarEntry> table = {
        {"&File",
         {{kCmdOpen, "&Open...\tCtrl+O", false},
          {kCmdRecentFiles, "Recent &files", false, true},  // grayed while empty (OpenControls)
          {kCmdSavePicture, "Save &picture...\tCtrl+Shift+S", false},
          {0, "", false},
          {kCmdMonitor, "&Monitor...", false},
          {kCmdInputDevice, "&Input device", false, true},
          {kCmdOutputDevice, "O&utput device", false, true},
          {0, "", false},
          {kCmdExit, "e&xit", false}}},
        {"&Operation",
         {{kCmdVoiceRange, "初期設定(&I)...", false},
          {kCmdVoicePointer, "Control the pointer with the &voice", false},
          {0, "", false},
          {kCmdStart, "&Start", true},
          {kCmdStop, "s&Top", true},
          {kCmdBeep, "基準音(&B)", false},
          {0, "", false},
          {kCmdOption, "&Option...", false}}},
        {"&View",
         {{kCmdLinear, "&Spectrum(linear)", false},
          {kCmdLog, "Spec&trum(log)", false},
          {kCmdTuning, "Tuning Meter", false},
          {kCmdSpectrogram, "Spectro&gram", false},
          {kCmdSpectrogramSpan, "Spectrogram spa&n", false, true},
          {kCmdUpdateRate, "Pictures per se&cond", false, true},
          {0, "", false},
          {kCmdDecibel, "&Decibel", false},
          {kCmdPinkFlat, "&Pink noise is flat", false},
          {kCmdExpand, "&Expand", false},
          {kCmdFatLine, "&Fat line", false},
          {kCmdTuner, "T&uner", false},
          {kCmdMeasure, "Measure t&ools", false, true},
          {0, "", false},
          {kCmdLevelMeter, "Level &meter", false, true},
          {kCmdBallistics, "Meter b&allistics", false, true},
          {kCmdLoudnessTarget, "Loudness ta&rget", false, true},
          {kCmdResetLoudness, "Reset &loudness\tCtrl+L", false},
          {0, "", false},
          {kCmdLineGraph, "l&ine graph", false},
          {kCmdBarGraph, "&Bar graph", false}}},
        {"&Help", {{kCmdHelp, "&Help...\tF1", false}, {kCmdAbout, "&About...", false}}},
    };
    return table;
}

// The mnemonic groups of the Japanese texts become the toolkit's "(&X)" mnemonics.
const std::vector<JapaneseMenuText>& japanese_menu_texts() {
    static const std::vector<JapaneseMenuText> table = {
        {-1, "ファイル(&F)"},
        {-2, "操作(&O)"},
        {-3, "表示(&V)"},
        {-4, "ヘルプ(&H)"},
        {kCmdOpen, "開く(&O)...\tCtrl+O"},
        {kCmdRecentFiles, "最近使ったファイル(&F)"},
        {kCmdSavePicture, "画像を保存(&P)...\tCtrl+Shift+S"},
        {kCmdMonitor, "モニタ(&M)..."},
        {kCmdInputDevice, "入力デバイス(&I)"},
        {kCmdOutputDevice, "出力デバイス(&U)"},
        {kCmdExit, "終了(&X)"},
        {kCmdVoicePointer, "声でポインタを操作する(&V)"},
        {kCmdOption, "オプション(&O)..."},
        {kCmdHelp, "ヘルプの表示(&H)...\tF1"},
        {kCmdAbout, "バージョン情報(&A)..."},
        {kCmdLinear, "スペクトル(周波数リニア)(&S)"},
        {kCmdLog, "スペクトル(周波数対数)(&T)"},
        {kCmdSpectrogram, "スペクトログラム(&G)"},
        {kCmdSpectrogramSpan, "スペクトログラムの時間幅(&N)"},
        {kCmdUpdateRate, "毎秒の描画回数(&C)"},
        {kCmdDecibel, "デシベル表示(&D)"},
        {kCmdPinkFlat, "ピンクノイズを水平にする(&P)"},
        {kCmdExpand, "振幅を拡大表示する(&E)"},
        {kCmdFatLine, "グラフの線を太くする(&F)"},
        {kCmdTuner, "チューナー(&U)"},
        {kCmdMeasure, "測定(&K)"},
        {kCmdLevelMeter, "レベルメーター(&M)"},
        {kCmdBallistics, "メーターの動特性(&A)"},
        {kCmdLoudnessTarget, "ラウドネスの目標値(&R)"},
        {kCmdResetLoudness, "ラウドネスをリセット(&L)\tCtrl+L"},
        {kCmdLineGraph, "折れ線グラフ(&O)"},
        {kCmdBarGraph, "棒グラフ(&B)"},
    };
    return table;
}

}  // namespace dl
