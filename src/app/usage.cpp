#include "app/usage.h"

#include "platform/system.h"

namespace dl {

void PrintUsage(std::FILE* out) {
    if (japanese_locale()) {
        std::fputs(
            "使い方: dewlark [ファイル] [/P] [/L] [/S | /M] [/H | /O] [/レート]\n"
            "  ファイル  開く音声ファイル (WAV, MP3, Ogg Vorbis, FLAC, Opus)。なければサウンドカードの入力\n"
            "  /P        すぐに再生 (モニタ) を始める\n"
            "  /L        1024 ピクセルの大きいグラフ\n"
            "  /S /M     ステレオ / モノラルで録音\n"
            "  /H /O     16 / 8 ビットで録音\n"
            "  /レート   録音のサンプリング周波数: /44 /22 /11 (44.1, 22.05, 11.025 kHz), /5 (48 kHz),\n"
            "            /96 (96 kHz), または Hz で (/48000)\n"
            "\n"
            "       dewlark --info ファイル\n"
            "           ファイルから読んだ形式を key=value で 1 行ずつ表示\n"
            "       dewlark --analyse ファイル [--set キー=値]... [--png 出力.png]\n"
            "           再生と同じ解析を行い、解析したブロックごとに CSV を 1 行表示\n"
            "       dewlark --monitor [--seconds 秒] [--device 名前] [--set キー=値]... [--png 出力.png]\n"
            "           サウンドカードの入力を解析し、同じ行を順に表示 (Ctrl+C で終了)\n"
            "       dewlark --loudness ファイル... [--json]\n"
            "           ファイルごとの統合ラウドネス、ラウドネスレンジ、トゥルーピーク、サンプルピーク、長さ (CSV)\n"
            "       dewlark --list-devices\n"
            "           出力 (out:) と入力 (in:) のデバイス一覧\n"
            "       dewlark --help | --version\n"
            "\n"
            "  --set キー=値      この実行だけの dewlark.INI の設定 (display=112 でスペクトログラム)\n"
            "  --png 出力.png     最後の状態のウィンドウを画像に保存\n"
            "  --seconds 秒       モニタをこの秒数で終える\n"
            "  --device 名前      モニタする入力デバイス\n"
            "  --json             --loudness の結果を JSON で表示\n",
            out);
        return;
    }
    std::fputs(
        "usage: dewlark [FILE] [/P] [/L] [/S | /M] [/H | /O] [/RATE]\n"
        "  FILE      a sound file to open (WAV, MP3, Ogg Vorbis, FLAC, Opus); without one, the sound card's input\n"
        "  /P        start playing (or monitoring) at once\n"
        "  /L        the large 1024-pixel graph\n"
        "  /S /M     record in stereo / mono\n"
        "  /H /O     record 16 / 8 bits\n"
        "  /RATE     record at that rate: /44 /22 /11 (44.1, 22.05, 11.025 kHz), /5 (48 kHz), /96 (96 kHz),\n"
        "            or the rate in Hz (/48000)\n"
        "\n"
        "       dewlark --info FILE\n"
        "           what dewlark reads from FILE, one key=value per line\n"
        "       dewlark --analyse FILE [--set KEY=VALUE]... [--png OUT.png]\n"
        "           analyses FILE as playback would: one CSV row per analysed block\n"
        "       dewlark --monitor [--seconds S] [--device NAME] [--set KEY=VALUE]... [--png OUT.png]\n"
        "           the same rows from the sound card's input as they come (Ctrl+C ends)\n"
        "       dewlark --loudness FILE... [--json]\n"
        "           per file the integrated loudness, loudness range, true and sample peak and duration (CSV)\n"
        "       dewlark --list-devices\n"
        "           the output (out:) and input (in:) devices\n"
        "       dewlark --help | --version\n"
        "\n"
        "  --set KEY=VALUE   a setting of dewlark.INI, for this run only (display=112: the spectrogram)\n"
        "  --png OUT.png     the window as it stands at the end, as a picture\n"
        "  --seconds S       stop monitoring after S seconds\n"
        "  --device NAME     the input device to monitor\n"
        "  --json            --loudness prints a JSON array instead of CSV\n",
        out);
}

std::string UnknownLongOption(const std::vector<std::string>& tokens) {
    for (const std::string& t : tokens)
        if (t.size() > 2 && t.compare(0, 2, "--") == 0) return t;
    return {};
}

}  // namespace dl
