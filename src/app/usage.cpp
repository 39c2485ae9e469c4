#include "app/usage.h"

#include "platform/system.h"
#include "state/setting_names.h"

namespace dl {

namespace {

// The settings --set takes by readable name, and the columns of the rows with their units.
void PrintReference(std::FILE* out) {
    std::fputs("\nsettings for --set, by readable name (any key of dewlark.INI is taken as well):\n", out);
    for (const ReadableSetting& r : readable_settings())
        std::fprintf(out, "  %-10s %s  [%s]\n", r.name, r.values, r.key);
    std::fputs(
        "\ncolumns of --analyse, one row per analysed block:\n"
        "  time             s, where the block starts\n"
        "  peak_hz          Hz, the strongest line\n"
        "  level            dB below full scale of that line (a fraction of full scale with scale=linear)\n"
        "  a4               Hz, the A4 that would make the heard note exact\n"
        "  labels           the labelled peaks, strongest first, ';' between them (Hz or note names)\n"
        "  f0_hz            Hz, the fundamental the tracker heard (empty when nothing was voiced)\n"
        "  f0_note          its note against the reference A4\n"
        "  f0_cents         cents from that note\n"
        "  f0_confidence    0 to 1\n"
        "  lufs_m           LUFS, the momentary loudness of the last 400 ms (empty until 400 ms of sound)\n"
        "  lufs_s           LUFS, the short-term loudness of the last 3 s (empty until 3 s of sound)\n"
        "  f0_inharmonicity a stiff string's inharmonicity B (partial h at h f sqrt(1 + B h^2)); f0_hz is then its\n"
        "                   first partial (empty for a harmonic sound)\n"
        "  db_<HZ>Hz        with --spectrum: dB below full scale of the shown line nearest HZ\n"
        "columns of --summary, one row per file:\n"
        "  seconds          s, the sound's length\n"
        "  format           wav, mp3, vorbis, flac or opus\n"
        "  sample_rate      Hz\n"
        "  channels         1 or 2\n"
        "  sample_peak_dbfs dBFS, the largest sample heard\n"
        "  rms_dbfs         dBFS, the mean power of every sample heard\n"
        "  notes            the three notes most often strongest, with their shares of the blocks in percent\n"
        "  f0_median_hz     Hz, the median of the tracked pitch\n"
        "  f0_note          its note against the reference A4\n"
        "  f0_cents         cents from that note\n"
        "  f0_spread_cents  cents between the quartiles of the tracked pitch\n"
        "  voiced_share     percent of the blocks with a tracked pitch\n"
        "  a4_median_hz     Hz, the median A4 read-out\n"
        "  lufs             LUFS, the integrated loudness (empty where it is not measured)\n"
        "many files: file first, error last (empty when the file was analysed)\n"
        "columns of --loudness, one row per file:\n"
        "  integrated_lufs   LUFS, gated over the whole sound (empty when nothing is above the gate)\n"
        "  loudness_range_lu LU, the spread of the short-term loudness\n"
        "  true_peak_dbtp    dBTP, the largest value between the samples, read four times oversampled\n"
        "  sample_peak_dbfs  dBFS, the largest sample\n"
        "  duration_s        s, the sound measured\n",
        out);
}

}  // namespace

void PrintUsage(std::FILE* out) {
    if (japanese_locale()) {
        std::fputs(
            "使い方: dewlark [ファイル] [/P] [/L] [/S | /M] [/H | /O] [/レート]\n"
            "  ファイル  開く音声ファイル (WAV, MP3, Ogg Vorbis, FLAC, Opus)。なければサウンドカードの入力\n"
            "  /P        すぐに再生 (モニタ) を始める\n"
            "  /L        ウィンドウを最大化して開く\n"
            "  /S /M     ステレオ / モノラルで録音\n"
            "  /H /O     16 / 8 ビットで録音\n"
            "  /レート   録音のサンプリング周波数: /44 /22 /11 (44.1, 22.05, 11.025 kHz), /5 (48 kHz),\n"
            "            /96 (96 kHz), または Hz で (/48000)\n"
            "\n"
            "       dewlark --info ファイル\n"
            "           ファイルから読んだ形式を key=value で 1 行ずつ表示\n"
            "       dewlark --analyse ファイル [--set キー=値]... [--spectrum 周波数,...] [--png 出力.png [--size 幅x高さ]]\n"
            "               [--pitch-track 出力.csv]\n"
            "           再生と同じ解析を行い、解析したブロックごとに CSV を 1 行表示\n"
            "       dewlark --analyse ファイル|フォルダ... [--files-from 一覧 [--null]] [--jobs N] [--summary]\n"
            "               [--format csv|jsonl] [--out フォルダ] [--quiet] [--no-header] [--defaults] [--] [ファイル...]\n"
            "           多数のファイルを N 個のワーカーで解析 (既定: コア数)。各行の先頭に file 列、最後に error 列。\n"
            "           失敗したファイルがあれば終了コード 1、実行できない指定 (不明なオプション、値) は 2\n"
            "       dewlark --monitor [--seconds 秒] [--device 名前] [--set キー=値]... [--png 出力.png]\n"
            "               [--pitch-track 出力.csv]\n"
            "           サウンドカードの入力を解析し、同じ行を順に表示 (Ctrl+C で終了)\n"
            "       dewlark --loudness ファイル... [--json]\n"
            "           ファイルごとの統合ラウドネス、ラウドネスレンジ、トゥルーピーク、サンプルピーク、長さ (CSV)\n"
            "       dewlark --list-devices\n"
            "           出力 (out:) と入力 (in:) のデバイス一覧\n"
            "       dewlark --help | --version\n"
            "\n"
            "  --set キー=値      この実行だけの dewlark.INI の設定 (display=112 でスペクトログラム)\n"
            "  --spectrum 周波数,... 表示中のスペクトルのその周波数のレベル(dB)を列として追加\n"
            "  --png 出力.png     最後の状態のウィンドウを画像に保存\n"
            "  --size 幅x高さ     画像のウィンドウの大きさ(ピクセル、標準より小さければ標準)\n"
            "  --reference-out 出力.csv  ファイル全体の平均スペクトル (パワーで平均) を基準スペクトルとして書く\n"
            "  --pitch-track 出力.csv  10 ms ごとの基本周波数 (time,f0_hz,note,cents,confidence) を書く\n"
            "                     (A0 27.5 Hz から C8 4186 Hz まで)\n"
            "  --seconds 秒       この秒数の音を解析したらモニタを終える\n"
            "  --device 名前      モニタする入力デバイス\n"
            "  --defaults         設定ファイルを読まず、初めて起動したときの設定で実行\n"
            "  --jobs N           ワーカー プロセスの数 (既定: コア数)\n"
            "  --summary          ブロックごとではなくファイルごとに 1 行\n"
            "  --format F         csv (既定) または jsonl (1 行に 1 つの JSON)\n"
            "  --out フォルダ     ファイルごとの行を フォルダ/名前.csv に書く (--summary では フォルダ/summary.csv)\n"
            "  --files-from 一覧  1 行に 1 つのファイル (- は標準入力)\n"
            "  --null, -0         一覧の名前は NUL バイトで区切る (find -print0 の出力)\n"
            "  --                 これより後はすべてファイル名\n"
            "  --quiet            進み具合を表示しない\n"
            "  --no-header        見出し行を書かない (複数の実行の出力をつなぐため)\n"
            "  --json             --loudness の結果を JSON で表示\n",
            out);
        PrintReference(out);
        return;
    }
    std::fputs(
        "usage: dewlark [FILE] [/P] [/L] [/S | /M] [/H | /O] [/RATE]\n"
        "  FILE      a sound file to open (WAV, MP3, Ogg Vorbis, FLAC, Opus); without one, the sound card's input\n"
        "  /P        start playing (or monitoring) at once\n"
        "  /L        start with the window maximised\n"
        "  /S /M     record in stereo / mono\n"
        "  /H /O     record 16 / 8 bits\n"
        "  /RATE     record at that rate: /44 /22 /11 (44.1, 22.05, 11.025 kHz), /5 (48 kHz), /96 (96 kHz),\n"
        "            or the rate in Hz (/48000)\n"
        "\n"
        "       dewlark --info FILE\n"
        "           what dewlark reads from FILE, one key=value per line\n"
        "       dewlark --analyse FILE [--set KEY=VALUE]... [--spectrum HZ,...] [--png OUT.png [--size WxH]]\n"
        "               [--pitch-track OUT.csv]\n"
        "           analyses FILE as playback would: one CSV row per analysed block\n"
        "       dewlark --analyse FILE|FOLDER... [--files-from LIST [--null]] [--jobs N] [--summary]\n"
        "               [--format csv|jsonl] [--out DIR] [--quiet] [--no-header] [--defaults] [--set KEY=VALUE]...\n"
        "               [--] [FILE...]\n"
        "           many files (folders walked for the formats above) over N worker processes: each row\n"
        "           led by a file column and ended by an error column; the exit status is 1 when any failed,\n"
        "           2 when the command line cannot be acted on (an unknown option, a value not allowed)\n"
        "       dewlark --monitor [--seconds S] [--device NAME] [--set KEY=VALUE]... [--spectrum HZ,...]\n"
        "                [--png OUT.png] [--pitch-track OUT.csv]\n"
        "           the same rows from the sound card's input as they come (Ctrl+C ends)\n"
        "       dewlark --loudness FILE|FOLDER... [--json]\n"
        "           per file the integrated loudness, loudness range, true and sample peak and duration (CSV);\n"
        "           folders walked for the formats above\n"
        "       dewlark --list-devices\n"
        "           the output (out:) and input (in:) devices\n"
        "       dewlark --help | --version\n"
        "\n"
        "  --set KEY=VALUE   a setting of dewlark.INI, for this run only (display=112: the spectrogram)\n"
        "  --spectrum HZ,... the shown spectrum's level (dB) at each frequency, as columns after the others\n"
        "  --png OUT.png     the window as it stands at the end, as a picture\n"
        "  --size WxH        the picture's window size in pixels (below the normal size: the normal one)\n"
        "  --reference-out REF.csv  the spectrum averaged over FILE (in power) as a reference the window loads\n"
        "  --pitch-track OUT.csv    the tracked pitch every 10 ms of sound (time,f0_hz,note,cents,confidence;\n"
        "                    f0 and the rest empty where nothing was voiced), beside the rows; notes from A0\n"
        "                    (27.5 Hz) to C8 (4186 Hz), up to a little below half the rate\n"
        "  --seconds S       stop monitoring once S seconds of sound are analysed\n"
        "  --device NAME     the input device to monitor\n"
        "  --defaults        the settings of a fresh start, not the settings file\n"
        "  --jobs N          worker processes (default: one a core)\n"
        "  --summary         one row a file instead of one a block\n"
        "  --format F        csv (the default) or jsonl (one JSON object a line)\n"
        "  --out DIR         each file's rows into DIR/NAME.csv (or .jsonl); with --summary, the table into\n"
        "                    DIR/summary.csv (or .jsonl)\n"
        "  --files-from LIST files and folders one a line; - reads standard input\n"
        "  --null, -0        the list's names are each ended by a NUL byte (find -print0)\n"
        "  --                every argument after it is a file\n"
        "  --quiet           no progress on standard error (shown only on a terminal anyway)\n"
        "  --no-header       no header line, for joining the output of several runs\n"
        "  --json            --loudness prints a JSON array instead of CSV\n",
        out);
    PrintReference(out);
}

std::string UnknownLongOption(const std::vector<std::string>& tokens) {
    for (const std::string& t : tokens)
        if (t.size() > 2 && t.compare(0, 2, "--") == 0) return t;
    return {};
}

}  // namespace dl
