#include "app/CommandLine.h"

#include "app/SaveCommand.h"
#include "app/Translation.h"

#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char usage[] = QT_TRANSLATE_NOOP("CommandLine",
    "使い方: cd-tunewick32 [--help | --version | パス]\n"
    "        cd-tunewick32 --save 保存先フォルダー [ソース]\n"
    "\n"
    "音楽CDとディスクイメージを再生するプレイヤーです。\n"
    "ほかのオプションは無視されます。\n"
    "\n"
    "  --help     この説明を表示して終了します\n"
    "  --version  バージョンを表示して終了します\n"
    "  パス       開くキューシート、ディスクイメージ (.cue .toc .nrg)、キューシートが\n"
    "             一つだけのフォルダー、またはデバイス (/dev/sr1 など)。\n"
    "             TUNEWICK_DEVICE より優先されます。プレイヤーがすでに動いていれば\n"
    "             そのプレイヤーが開きます\n"
    "  --save 保存先フォルダー [ソース]\n"
    "             ディスクを FLAC ファイルとキューシートと記録として\n"
    "             保存先フォルダー/アルバムアーティスト/ディスクタイトル/ に保存します。\n"
    "             ソースはパスと同じもの、または demo。省略するとプレイヤーが\n"
    "             起動時に選ぶドライブです。画面は要りません。同じ名前のファイルが\n"
    "             あれば上書きせずに終わります。すべてのトラックを正しく読んで\n"
    "             保存できたときだけ終了コード 0 を返します\n"
    "\n"
    "環境変数:\n"
    "  TUNEWICK_DEVICE  再生するドライブ。未設定ならシステムの既定のCDドライブ、\n"
    "                   デバイス (/dev/sr1 など)、ディスクイメージ (.cue .toc .nrg)、\n"
    "                   demo (デモディスク)。リッピングしたファイル (FLAC、WAV\n"
    "                   など) は、その .cue シートで指定します\n"
    "  TUNEWICK_AUDIO   音の出力先。未設定なら ALSA の default、null (鳴らさない)、\n"
    "                   wav:パス (WAV ファイルに書き出す)\n"
    "\n"
    "タイトルのないディスクは、許可があればインターネットの MusicBrainz で調べます\n"
    "(ディスクの目次から計算したディスク ID を送ります)。ROTOR.INI の [Online] の\n"
    "MusicBrainz=1 で許可、0 なら何も送りません。メニューでも切り替えられます。\n"
    "\n"
    "キー (メインパネル、LCD、トラックセレクタで):\n"
    "  Space 再生/一時停止  S 停止  N,→ 次の曲  P,← 前の曲  E 取り出し\n"
    "  L リピート  R シャッフル  D ディスプレイ  数字 その番号のトラックを再生\n"
    "  Shift+F10,Menu メニュー  F1 ヘルプ\n"
    "\n"
    "設定は ~/.config/cd-tunewick32/ROTOR.INI、ディスクのタイトルは\n"
    "~/.local/share/cd-tunewick32/ に保存されます (XDG_CONFIG_HOME と\n"
    "XDG_DATA_HOME に従います)。タイトルのファイルは Shift-JIS です。Shift-JIS で\n"
    "書けない文字のあるタイトルを保存すると、そのファイルは BOM 付きの UTF-8 に\n"
    "なります。詳しくは man cd-tunewick32\n");

// The usage in the interface language; the application object does not exist yet.
std::string localUsage() {
    QTranslator translator;
    if (loadInterfaceTranslation(translator)) {
        const QString translated = translator.translate("CommandLine", usage);
        if (!translated.isEmpty()) return translated.toStdString();
    }
    return usage;
}

// A write that fails (a closed pipe, a full disk) must not end in a success status.
int print(const char *text) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace

std::optional<int> answerCommandLine(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return print(localUsage().c_str());
        if (std::strcmp(argv[i], "--version") == 0) return print("cd-tunewick32 " TUNEWICK_VERSION "\n");
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--save") != 0) continue;
        QStringList arguments;
        for (int k = i + 1; k < argc; ++k) arguments << QString::fromLocal8Bit(argv[k]);
        return runSaveCommand(argc, argv, arguments);
    }
    return std::nullopt;
}
