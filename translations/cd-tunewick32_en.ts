<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AccurateRip</name>
    <message>
        <source>一致 (信頼度 %1)</source>
        <translation>accurate (confidence %1)</translation>
    </message>
    <message>
        <source>不一致</source>
        <translation>not accurate</translation>
    </message>
    <message>
        <source>データベースにありません</source>
        <translation>not in the database</translation>
    </message>
    <message>
        <source>応答を読めません</source>
        <translation>unreadable answer</translation>
    </message>
    <message>
        <source>照合していません</source>
        <translation>not checked</translation>
    </message>
    <message>
        <source>AccurateRip: 照会していません</source>
        <translation>AccurateRip: not asked</translation>
    </message>
    <message>
        <source>AccurateRip: %1 の応答を待っています</source>
        <translation>AccurateRip: waiting for the answer for %1</translation>
    </message>
    <message>
        <source>AccurateRip: %1 (応答 %2 件)</source>
        <translation>AccurateRip: %1 (%2 responses)</translation>
    </message>
    <message>
        <source>AccurateRip: %1 はデータベースにありません</source>
        <translation>AccurateRip: %1 is not in the database</translation>
    </message>
    <message>
        <source>AccurateRip: %1 の応答を読めません</source>
        <translation>AccurateRip: the answer for %1 is unreadable</translation>
    </message>
    <message>
        <source>AccurateRip: %1 (%2)</source>
        <translation>AccurateRip: %1 (%2)</translation>
    </message>
    <message>
        <source>AccurateRip: 応答を待たずに中止しました</source>
        <translation>AccurateRip: cancelled without waiting for the answer</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>起動中のプレーヤーに %1 を渡せませんでした。もう一度お試しください</source>
        <translation>The running player did not take %1. Please try again</translation>
    </message>
    <message>
        <source>起動中のプレーヤーが応答しませんでした。もう一度お試しください</source>
        <translation>The running player did not answer. Please try again</translation>
    </message>
</context>
<context>
    <name>CatalogueFile</name>
    <message>
        <source>%1 に書き込めません: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>%1 を読み込めません: %2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>ディスクのタイトル</source>
        <translation>the disc title</translation>
    </message>
    <message>
        <source>トラック %1 のタイトル</source>
        <translation>the title of track %1</translation>
    </message>
    <message>
        <source>%1 にある文字にならないバイトは UTF-8 のファイルにそのまま残せないため、保存しませんでした。そのタイトルを直すか、コードページ 932 にない文字をほかのタイトルから取り除いてください</source>
        <translation>In %1, bytes that form no character cannot be kept as they are in a UTF-8 file, so nothing was saved. Correct that title, or remove the characters that code page 932 lacks from the other titles</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>使い方: cd-tunewick32 [--help | --version | パス]
        cd-tunewick32 --save 保存先フォルダー [ソース]

音楽CDとディスクイメージを再生するプレイヤーです。
ほかのオプションは無視されます。

  --help     この説明を表示して終了します
  --version  バージョンを表示して終了します
  パス       開くキューシート、ディスクイメージ (.cue .toc .nrg)、キューシートが
             一つだけのフォルダー、またはデバイス (/dev/sr1 など)。
             TUNEWICK_DEVICE より優先されます。プレイヤーがすでに動いていれば
             そのプレイヤーが開きます
  --save 保存先フォルダー [ソース]
             ディスクを FLAC ファイルとキューシートと記録として
             保存先フォルダー/アルバムアーティスト/ディスクタイトル/ に保存します。
             ソースはパスと同じもの、または demo。省略するとプレイヤーが
             起動時に選ぶドライブです。画面は要りません。同じ名前のファイルが
             あれば上書きせずに終わります。すべてのトラックを正しく読んで
             保存できたときだけ終了コード 0 を返します

環境変数:
  TUNEWICK_DEVICE  再生するドライブ。未設定ならシステムの既定のCDドライブ、
                   デバイス (/dev/sr1 など)、ディスクイメージ (.cue .toc .nrg)、
                   demo (デモディスク)。リッピングしたファイル (FLAC、WAV
                   など) は、その .cue シートで指定します
  TUNEWICK_AUDIO   音の出力先。未設定なら ALSA の default、null (鳴らさない)、
                   wav:パス (WAV ファイルに書き出す)

タイトルのないディスクは、許可があればインターネットの MusicBrainz で調べます
(ディスクの目次から計算したディスク ID を送ります)。ROTOR.INI の [Online] の
MusicBrainz=1 で許可、0 なら何も送りません。メニューでも切り替えられます。

キー (メインパネル、LCD、トラックセレクタで):
  Space 再生/一時停止  S 停止  N,→ 次の曲  P,← 前の曲  E 取り出し
  L リピート  R シャッフル  D ディスプレイ  数字 その番号のトラックを再生
  Shift+F10,Menu メニュー  F1 ヘルプ

設定は ~/.config/cd-tunewick32/ROTOR.INI、ディスクのタイトルは
~/.local/share/cd-tunewick32/ に保存されます (XDG_CONFIG_HOME と
XDG_DATA_HOME に従います)。タイトルのファイルは Shift-JIS です。Shift-JIS で
書けない文字のあるタイトルを保存すると、そのファイルは BOM 付きの UTF-8 に
なります。詳しくは man cd-tunewick32
</source>
        <translation>Usage: cd-tunewick32 [--help | --version | PATH]
       cd-tunewick32 --save FOLDER [SOURCE]

A player for audio CDs and disc images.
Other options are ignored.

  --help     show this help and exit
  --version  show the version and exit
  PATH       a cue sheet, a disc image (.cue .toc .nrg), a folder holding one
             cue sheet, or a device (/dev/sr1 and so on) to open. It wins over
             TUNEWICK_DEVICE. When the player runs already, that player opens it
  --save FOLDER [SOURCE]
             save a disc as FLAC files with a cue sheet and a log into
             FOLDER/album artist/disc title/. SOURCE is what PATH can be, or
             demo; left out, the drive the player chooses at its start. Needs no
             display. Files of the same names are not overwritten: it ends
             instead. Exits 0 only when every track was read and saved whole

Environment:
  TUNEWICK_DEVICE  the drive to play. Unset: the system&apos;s default CD drive;
                   a device (/dev/sr1 and so on), a disc image (.cue .toc .nrg),
                   demo (the demo disc). A rip (FLAC, WAV and others): its .cue
                   sheet
  TUNEWICK_AUDIO   where the sound goes. Unset: ALSA&apos;s default; null (silent),
                   wav:PATH (written to a WAV file)

A disc without titles is looked up on MusicBrainz when you allow it: the disc
ID computed from the disc&apos;s table of contents is sent. ROTOR.INI&apos;s [Online]
MusicBrainz=1 allows it; with 0 nothing is sent. The menu switches it too.

Keys (on the main panel, the LCD and the track selector):
  Space play/pause  S stop  N,Right next  P,Left previous  E eject
  L repeat  R shuffle  D display  digits play the track of that number
  Shift+F10,Menu menu  F1 help

Settings are kept in ~/.config/cd-tunewick32/ROTOR.INI, disc titles in
~/.local/share/cd-tunewick32/ (following XDG_CONFIG_HOME and XDG_DATA_HOME).
Title files are Shift-JIS; saving a title with characters that Shift-JIS
cannot hold makes that file UTF-8 with a byte-order mark. See man cd-tunewick32
</translation>
    </message>
</context>
<context>
    <name>CoverArt</name>
    <message>
        <source>リリースの一覧 %1 を読めないか大きすぎるため、書き換えずにそのまま残します</source>
        <translation>The release list %1 cannot be read or is too large; it is left as it is, unchanged</translation>
    </message>
</context>
<context>
    <name>DiscLoading</name>
    <message>
        <source>情報</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>このＣＤのデータはありません。
データベースに登録しますか？</source>
        <translation>There are no titles for this CD.
Add it to the database?</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>DiscSaving</name>
    <message>
        <source>ディスクを保存...</source>
        <translation>Save Disc as Files...</translation>
    </message>
    <message>
        <source>保存先フォルダを入れてください</source>
        <translation>Enter the folder to save into</translation>
    </message>
    <message>
        <source>ディスクを保存中です</source>
        <translation>A disc is being saved</translation>
    </message>
    <message>
        <source>ディスクを保存中のため再生できません (ドライブ %1 を読んでいます)</source>
        <translation>Cannot play while the disc is being saved (the drive %1 is being read)</translation>
    </message>
    <message>
        <source>上書きの確認</source>
        <translation>Replace Files</translation>
    </message>
    <message>
        <source>同じ名前のファイルがあります:
%1
上書きしますか？</source>
        <translation>Files of the same names exist:
%1
Replace them?</translation>
    </message>
    <message>
        <source>ほか %1 個</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>同じ名前のファイルがあるため保存しませんでした</source>
        <translation>Nothing was saved: files of the same names exist</translation>
    </message>
    <message>
        <source>(隠しトラック)</source>
        <translation>(hidden track)</translation>
    </message>
    <message>
        <source>ログ: %1</source>
        <translation>Log: %1</translation>
    </message>
    <message>
        <source>ディスクを保存しました</source>
        <translation>The disc is saved</translation>
    </message>
    <message>
        <source>ディスクを保存できませんでした</source>
        <translation>The disc could not be saved</translation>
    </message>
    <message>
        <source>保存しました</source>
        <translation>saved</translation>
    </message>
    <message>
        <source>読めないセクタ %1 個</source>
        <translation>%1 unreadable sectors</translation>
    </message>
    <message>
        <source>保存していません</source>
        <translation>not saved</translation>
    </message>
    <message>
        <source>データトラック (保存しません)</source>
        <translation>data track (not saved)</translation>
    </message>
    <message>
        <source>すべてのトラックを保存しました</source>
        <translation>Every track is saved</translation>
    </message>
    <message>
        <source>読めないセクタがありました (ログを見てください)</source>
        <translation>Some sectors could not be read (see the log)</translation>
    </message>
    <message>
        <source>中止しました</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>保存先のディスクがいっぱいです</source>
        <translation>The disk of the target folder is full</translation>
    </message>
    <message>
        <source>保存先フォルダに書き込めません</source>
        <translation>The target folder cannot be written to</translation>
    </message>
    <message>
        <source>ディスクが取り出されました</source>
        <translation>The disc was taken out</translation>
    </message>
    <message>
        <source>イメージまたはリッピングのファイルが途中で終わっています</source>
        <translation>A file of the image or rip ends too early</translation>
    </message>
    <message>
        <source>ほかの保存が実行中です</source>
        <translation>Another save is running</translation>
    </message>
    <message>
        <source>保存できるディスクがありません</source>
        <translation>There is no disc to save</translation>
    </message>
    <message>
        <source>音声があるかもしれません</source>
        <translation>May hold audio</translation>
    </message>
    <message>
        <source>無音 (保存しません)</source>
        <translation>Silence (not saved)</translation>
    </message>
    <message>
        <source>読めないため飛ばしました</source>
        <translation>Skipped: could not be read</translation>
    </message>
</context>
<context>
    <name>Help</name>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ヘルプのファイル %1 が見つかりません。</source>
        <translation>The help file %1 cannot be found.</translation>
    </message>
</context>
<context>
    <name>OnlineConsent</name>
    <message>
        <source>タイトルの検索</source>
        <translation>Title look-up</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>ＣＤのタイトルをインターネットの MusicBrainz (musicbrainz.org) で調べますか？
調べるときは、ＣＤの目次から計算したディスク ID を送ります。
タイトルを選んだＣＤのジャケット画像は Cover Art Archive (coverartarchive.org、画像は archive.org) から取得します。
あとでメニューの「MusicBrainz でタイトルを検索」で切り替えられます。</source>
        <translation>Look up CD titles on the internet at MusicBrainz (musicbrainz.org)?
A look-up sends the disc ID computed from the CD&apos;s table of contents.
For a CD whose titles you take, the cover image is fetched from the Cover Art Archive (coverartarchive.org, images from archive.org).
You can switch this later with &quot;Look up titles on MusicBrainz&quot; in the menu.</translation>
    </message>
</context>
<context>
    <name>OnlineTitles</name>
    <message>
        <source>MusicBrainz でタイトルを調べています…</source>
        <translation>Looking up the titles on MusicBrainz…</translation>
    </message>
    <message>
        <source>MusicBrainz に登録...</source>
        <translation>Add to MusicBrainz...</translation>
    </message>
</context>
<context>
    <name>OpenDisc</name>
    <message>
        <source>%1 を開けません: %2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <source>フォルダーにキューシートが %1 個あります (開けるのは一つだけのときです)</source>
        <translation>The folder holds %1 cue sheets (it opens when it holds exactly one)</translation>
    </message>
    <message>
        <source>ディスクイメージを開く</source>
        <translation>Open Disc Image</translation>
    </message>
    <message>
        <source>キューシートとディスクイメージ (*.cue *.toc *.nrg)</source>
        <translation>Cue sheets and disc images (*.cue *.toc *.nrg)</translation>
    </message>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>CDドライブがありません</source>
        <translation>No CD drive</translation>
    </message>
    <message>
        <source>デモディスク</source>
        <translation>Demo disc</translation>
    </message>
    <message>
        <source>そのファイルはありません</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>ディスクイメージを開く...</source>
        <translation>Open Disc Image...</translation>
    </message>
    <message>
        <source>ドライブ</source>
        <translation>Drive</translation>
    </message>
    <message>
        <source>ファイルでもドライブでもありません</source>
        <translation>neither a file nor a drive</translation>
    </message>
    <message>
        <source>編集中のタイトルが保存されていません。
ディスクを替える前に保存しますか？</source>
        <translation>The titles you typed are not saved.
Save them before the disc is changed?</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>保存しない(&amp;N)</source>
        <translation>Do&amp;n&apos;t save</translation>
    </message>
    <message>
        <source>このディスクのまま(&amp;K)</source>
        <translation>&amp;Keep this disc</translation>
    </message>
    <message>
        <source>そのドライブはありません</source>
        <translation>no such drive</translation>
    </message>
</context>
<context>
    <name>SaveCommand</name>
    <message>
        <source>使い方: cd-tunewick32 --save 保存先フォルダー [ソース]
</source>
        <translation>Usage: cd-tunewick32 --save FOLDER [SOURCE]
</translation>
    </message>
    <message>
        <source>隠しトラック</source>
        <translation>Hidden track</translation>
    </message>
    <message>
        <source>トラック %1</source>
        <translation>Track %1</translation>
    </message>
    <message>
        <source>正しく保存しました</source>
        <translation>saved</translation>
    </message>
    <message>
        <source>読めないセクタが %1 個あります</source>
        <translation>%1 unreadable sectors</translation>
    </message>
    <message>
        <source>保存できませんでした</source>
        <translation>not saved</translation>
    </message>
    <message>
        <source>データトラックなので保存しません</source>
        <translation>a data track, not saved</translation>
    </message>
    <message>
        <source> 残り %1:%2</source>
        <translation> %1:%2 left</translation>
    </message>
    <message>
        <source>記録: %1</source>
        <translation>Log: %1</translation>
    </message>
    <message>
        <source>保存中 %1% (%2)</source>
        <translation>Saving %1% (%2)</translation>
    </message>
</context>
<context>
    <name>SaveOnline</name>
    <message>
        <source>AccurateRip で照合</source>
        <translation>Verify with AccurateRip</translation>
    </message>
    <message>
        <source>保存したトラックを AccurateRip (www.accuraterip.com) のデータベースと照合しますか？
照合には、ＣＤの目次から計算したディスク ID をアドレスに入れ、プログラム名 (User-Agent) を添えて、暗号化されない HTTP で送ります。Cookie など、ほかのものは送りません。
あとでメニューの「AccurateRip で照合」で切り替えられます。</source>
        <translation>Verify the saved tracks against the AccurateRip database (www.accuraterip.com)?
To verify, the disc IDs computed from the disc&apos;s table of contents are sent in the address, with the program&apos;s name (User-Agent), over plain unencrypted HTTP. No cookie and nothing else is sent.
You can switch this later with &quot;Verify with AccurateRip&quot; in the menu.</translation>
    </message>
    <message>
        <source>AccurateRip で照合していません: %1 の [Online] に AccurateRip=1 と書くと照合します</source>
        <translation>Not verified with AccurateRip: write AccurateRip=1 under [Online] in %1 to verify</translation>
    </message>
    <message>
        <source>リリースのアーティスト、日付と ID を得られなかったので、タグに入れていません: %1</source>
        <translation>The release&apos;s artists, date and IDs could not be had and are not in the tags: %1</translation>
    </message>
    <message>
        <source>リリースの詳細が時間内に届きませんでした</source>
        <translation>The release&apos;s details did not come in time</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>%1 に書き込めません</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
<context>
    <name>TAboutBox</name>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>ＣD-Ｔunewick32</source>
        <translation>CD-Tunewick32</translation>
    </message>
    <message>
        <source>CDﾌﾟﾚｲﾔｰ for Linux</source>
        <translation>CD player for Linux</translation>
    </message>
    <message>
        <source>Ｏ Ｋ      </source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TCD_Database</name>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>   &#x3000;    &#x3000;   曲&#x3000;     &#x3000;目</source>
        <translation>                   Title</translation>
    </message>
    <message>
        <source>  時  間</source>
        <translation>  Time</translation>
    </message>
    <message>
        <source>トラック %1 のタイトル</source>
        <translation>Title of track %1</translation>
    </message>
    <message>
        <source>トラックのタイトル</source>
        <translation>Track titles</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>ﾘﾋﾟｰﾄ解除</source>
        <translation>Repeat off</translation>
    </message>
    <message>
        <source>ｼｬｯﾌﾙ解除</source>
        <translation>Shuffle off</translation>
    </message>
    <message>
        <source>ﾘﾋﾟｰﾄﾌﾟﾚｲ</source>
        <translation>Repeat play</translation>
    </message>
    <message>
        <source>ｼｬｯﾌﾙﾌﾟﾚｲ</source>
        <translation>Shuffle play</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾍﾞｰｽ編集</source>
        <translation>Edit the database</translation>
    </message>
    <message>
        <source>ヘルプを表示</source>
        <translation>Show the help</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽﾌﾟﾚｲ表示</source>
        <translation>Show the display</translation>
    </message>
    <message>
        <source>Tunewickを隠す</source>
        <translation>Hide Tunewick</translation>
    </message>
    <message>
        <source>最小化する</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>シャッター</source>
        <translation>Shutter</translation>
    </message>
    <message>
        <source>Tunewick を表示</source>
        <translation>Show Tunewick</translation>
    </message>
    <message>
        <source>TrackSelecter を表示</source>
        <translation>Show Track Selector</translation>
    </message>
    <message>
        <source>再&#x3000;&#x3000;&#x3000;生&#x3000;（Ｐｌａｙ）</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>一時停止&#x3000;（Ｐａｕｓｅ）</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停&#x3000;&#x3000;&#x3000;止&#x3000;（Ｓｔｏｐ） </source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>取  出  し&#x3000;（Ｅｊｅｃｔ）</source>
        <translation>Eject</translation>
    </message>
    <message>
        <source>リピートプレイ</source>
        <translation>Repeat play</translation>
    </message>
    <message>
        <source>シャッフルプレイ</source>
        <translation>Shuffle play</translation>
    </message>
    <message>
        <source>ディスプレイ表示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>エンドレス再生</source>
        <translation>Endless play</translation>
    </message>
    <message>
        <source>ヘルプ表示</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>CD-Tunewick 終了</source>
        <translation>Exit CD-Tunewick</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽﾌﾟﾚｲ消去</source>
        <translation>Hide the display</translation>
    </message>
    <message>
        <source>トラック番号</source>
        <translation>Track numbers</translation>
    </message>
    <message>
        <source>プリエンファシス補正</source>
        <translation>De-emphasis</translation>
    </message>
    <message>
        <source>プリエンファシス</source>
        <translation>Pre-emphasis</translation>
    </message>
    <message>
        <source>MusicBrainz でタイトルを検索</source>
        <translation>Look up titles on MusicBrainz</translation>
    </message>
    <message>
        <source>AccurateRip で照合</source>
        <translation>Verify with AccurateRip</translation>
    </message>
</context>
<context>
    <name>TForm5</name>
    <message>
        <source>TrackSelecterを閉じる</source>
        <translation>Close the track selector</translation>
    </message>
    <message>
        <source>Track再生</source>
        <translation>Play the track</translation>
    </message>
</context>
<context>
    <name>TLCD_DISPLAY</name>
    <message>
        <source>タイトル表示の変更</source>
        <translation>Switch the title shown</translation>
    </message>
    <message>
        <source>時間表示の変更</source>
        <translation>Switch the time shown</translation>
    </message>
    <message>
        <source>Track Selecter を表示</source>
        <translation>Show Track Selecter</translation>
    </message>
    <message>
        <source>Tunewick表示</source>
        <translation>Show Tunewick</translation>
    </message>
</context>
<context>
    <name>TMediaPlayer</name>
    <message>
        <source>MCI ﾃﾞﾊﾞｲｽがありません</source>
        <translation>No MCI device</translation>
    </message>
    <message>
        <source>原因不明のｴﾗｰ</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>一時停止</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>次の曲</source>
        <translation>Next track</translation>
    </message>
    <message>
        <source>前の曲</source>
        <translation>Previous track</translation>
    </message>
    <message>
        <source>コマ送り</source>
        <translation>Step forward</translation>
    </message>
    <message>
        <source>コマ戻し</source>
        <translation>Step back</translation>
    </message>
    <message>
        <source>録音</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>取り出し</source>
        <translation>Eject</translation>
    </message>
</context>
<context>
    <name>TReleaseChoice</name>
    <message>
        <source>リリースの選択</source>
        <translation>Choose a release</translation>
    </message>
    <message>
        <source>MusicBrainz にこのＣＤのリリースが複数あります。タイトルを使うものを選んでください。</source>
        <translation>MusicBrainz has several releases of this CD. Choose the one whose titles to use.</translation>
    </message>
    <message>
        <source>タイトル</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>アーティスト</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>国</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>発売日</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>レーベル / 品番</source>
        <translation>Label / catalogue number</translation>
    </message>
    <message>
        <source>バーコード</source>
        <translation>Barcode</translation>
    </message>
    <message>
        <source>どれでもない（タイトルを入れない）</source>
        <translation>None of these (put in no titles)</translation>
    </message>
    <message>
        <source>選ぶ(&amp;O)</source>
        <translation>&amp;Choose</translation>
    </message>
    <message>
        <source>使わない(&amp;N)</source>
        <translation>Do&amp;n&apos;t use</translation>
    </message>
</context>
<context>
    <name>TSaveWindow</name>
    <message>
        <source>ディスクを保存</source>
        <translation>Save Disc as Files</translation>
    </message>
    <message>
        <source>保存先フォルダ(&amp;F):</source>
        <translation>&amp;Folder:</translation>
    </message>
    <message>
        <source>参照(&amp;B)...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>保存先フォルダを選ぶ</source>
        <translation>Choose the Folder to Save Into</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>タイトル</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>進み具合</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>結果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>保存開始(&amp;S)</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>中止(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>残り時間: %1</source>
        <translation>Time left: %1</translation>
    </message>
    <message>
        <source>残り時間: 計算中</source>
        <translation>Time left: estimating</translation>
    </message>
    <message>
        <source>全体</source>
        <translation>All</translation>
    </message>
    <message>
        <source>保存していません</source>
        <translation>not saved</translation>
    </message>
</context>
<context>
    <name>online</name>
    <message>
        <source>タイトル検索の部品 cd-tunewick32-online.so を読み込めませんでした</source>
        <translation>Could not load the title look-up module cd-tunewick32-online.so</translation>
    </message>
    <message>
        <source>MusicBrainz にこのＣＤのタイトルはありませんでした</source>
        <translation>MusicBrainz has no titles for this CD</translation>
    </message>
    <message>
        <source>MusicBrainz が時間内に応答しませんでした</source>
        <translation>MusicBrainz did not answer in time</translation>
    </message>
    <message>
        <source>MusicBrainz に接続できませんでした</source>
        <translation>Could not connect to MusicBrainz</translation>
    </message>
    <message>
        <source>MusicBrainz の応答を読めませんでした</source>
        <translation>Could not read MusicBrainz&apos;s answer</translation>
    </message>
    <message>
        <source>MusicBrainz が混み合っていて応答しませんでした</source>
        <translation>MusicBrainz is busy and did not answer</translation>
    </message>
    <message>
        <source>AccurateRip が時間内に応答しませんでした</source>
        <translation>AccurateRip did not answer in time</translation>
    </message>
    <message>
        <source>AccurateRip に接続できませんでした</source>
        <translation>Could not connect to AccurateRip</translation>
    </message>
    <message>
        <source>AccurateRip の応答が大きすぎます</source>
        <translation>The answer of AccurateRip is too large</translation>
    </message>
    <message>
        <source>AccurateRip の応答を受け取れませんでした (HTTP %1)</source>
        <translation>Could not get the answer of AccurateRip (HTTP %1)</translation>
    </message>
    <message>
        <source>AccurateRip の転送先には従いませんでした (HTTP %1: 別のホストか、転送が多すぎます)</source>
        <translation>AccurateRip&apos;s redirect was not followed (HTTP %1: to another host, or too many redirects)</translation>
    </message>
    <message>
        <source>MusicBrainz の応答が大きすぎます</source>
        <translation>MusicBrainz&apos;s answer is too large</translation>
    </message>
    <message>
        <source>MusicBrainz の転送先には従いませんでした (HTTP %1: 別のホストか、転送が多すぎます)</source>
        <translation>MusicBrainz&apos;s redirect was not followed (HTTP %1: another host, or too many redirects)</translation>
    </message>
    <message>
        <source>MusicBrainz の応答を受け取れませんでした (HTTP %1)</source>
        <translation>MusicBrainz&apos;s answer could not be had (HTTP %1)</translation>
    </message>
</context>
<context>
    <name>platform</name>
    <message>
        <source>CDﾄﾞﾗｲﾌﾞもﾃﾞｨｽｸｲﾒｰｼﾞもありません: %1</source>
        <translation>No CD drive or disc image: %1</translation>
    </message>
    <message>
        <source>CDﾄﾞﾗｲﾌﾞ %1 を読む権限がありません: ｸﾞﾙｰﾌﾟ &quot;%2&quot; に入り (sudo adduser $USER %2)、ﾛｸﾞｲﾝし直してください</source>
        <translation>No permission to read the CD drive %1: join the group &quot;%2&quot; (sudo adduser $USER %2) and log in again</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽｸｲﾒｰｼﾞ %1 を読む権限がありません</source>
        <translation>No permission to read the disc image %1</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽｸｲﾒｰｼﾞではありません (.cue, .toc, .nrg のﾌｧｲﾙを指定してください): %1</source>
        <translation>Not a disc image (give a .cue, .toc or .nrg file): %1</translation>
    </message>
    <message>
        <source>読めないﾃﾞｨｽｸｲﾒｰｼﾞです (.cue, .toc, .nrg): %1</source>
        <translation>Unreadable disc image (.cue, .toc, .nrg): %1</translation>
    </message>
    <message>
        <source>音楽CDではありません: %1 にはﾃﾞｰﾀﾄﾗｯｸしかありません</source>
        <translation>Not an audio CD: %1 has only data tracks</translation>
    </message>
    <message>
        <source>ﾄﾞﾗｲﾌﾞが読み込みを終えていません: しばらくしてからやり直してください</source>
        <translation>The drive has not finished reading: try again in a moment</translation>
    </message>
    <message>
        <source>%1: 入口がありません</source>
        <translation>%1: no entry point</translation>
    </message>
    <message>
        <source>%1 がありません</source>
        <translation>%1 is missing</translation>
    </message>
    <message>
        <source>音声ファイルを読むモジュールを読み込めません (%1)</source>
        <translation>Cannot load the module that reads audio files (%1)</translation>
    </message>
    <message>
        <source>キューシートの %1 行目を読めません: %2</source>
        <translation>Cannot read line %1 of the cue sheet: %2</translation>
    </message>
    <message>
        <source>FILE にファイル名がありません</source>
        <translation>FILE has no file name</translation>
    </message>
    <message>
        <source>FILE が多すぎます</source>
        <translation>Too many FILE lines</translation>
    </message>
    <message>
        <source>TRACK の前に FILE がありません</source>
        <translation>No FILE before TRACK</translation>
    </message>
    <message>
        <source>トラック番号は 1 から 99 です</source>
        <translation>Track numbers run from 1 to 99</translation>
    </message>
    <message>
        <source>トラック番号が続いていません</source>
        <translation>Track numbers are not consecutive</translation>
    </message>
    <message>
        <source>INDEX の前に TRACK がありません</source>
        <translation>No TRACK before INDEX</translation>
    </message>
    <message>
        <source>INDEX は「INDEX 番号 分:秒:フレーム」です</source>
        <translation>INDEX is written &quot;INDEX number mm:ss:ff&quot;</translation>
    </message>
    <message>
        <source>INDEX 01 が INDEX 00 より前です</source>
        <translation>INDEX 01 comes before INDEX 00</translation>
    </message>
    <message>
        <source>%1 の前に TRACK がありません</source>
        <translation>No TRACK before %1</translation>
    </message>
    <message>
        <source>%1 は「%1 分:秒:フレーム」です</source>
        <translation>%1 is written &quot;%1 mm:ss:ff&quot;</translation>
    </message>
    <message>
        <source>キューシートにトラックがありません</source>
        <translation>The cue sheet has no tracks</translation>
    </message>
    <message>
        <source>キューシートのトラック %1 に INDEX 01 がありません</source>
        <translation>Track %1 of the cue sheet has no INDEX 01</translation>
    </message>
    <message>
        <source>キューシートに音声トラックがありません</source>
        <translation>The cue sheet has no audio tracks</translation>
    </message>
    <message>
        <source>キューシートが大きすぎます (%1 バイト)</source>
        <translation>The cue sheet is too large (%1 bytes)</translation>
    </message>
    <message>
        <source>キューシートの文字コード (%1) は読めません</source>
        <translation>Cannot read the cue sheet&apos;s encoding (%1)</translation>
    </message>
    <message>
        <source>不明</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source> (文字コード %1 として読みました)</source>
        <translation> (read as %1)</translation>
    </message>
    <message>
        <source>音声が長すぎます</source>
        <translation>The audio is too long</translation>
    </message>
    <message>
        <source>キューシートのトラック %1 に長さがありません</source>
        <translation>Track %1 of the cue sheet has no length</translation>
    </message>
    <message>
        <source>キューシートのトラック %1 の INDEX が前のトラックより前です</source>
        <translation>The INDEX of track %1 of the cue sheet comes before the previous track</translation>
    </message>
    <message>
        <source>キューシートのトラック %1 の INDEX 01 が音声ファイルの終わりより後です</source>
        <translation>INDEX 01 of track %1 of the cue sheet is past the end of the audio file</translation>
    </message>
    <message>
        <source>キューシートの FILE と音声ファイルが合いません</source>
        <translation>The cue sheet&apos;s FILE lines do not match the audio files</translation>
    </message>
    <message>
        <source>%1, %2 Hz, %3 ビット, %4 チャンネル</source>
        <translation>%1, %2 Hz, %3 bits, %4 channels</translation>
    </message>
    <message>
        <source>CD のリッピングに使われる形式ではありません: %1 (%2)</source>
        <translation>Not a format CDs are ripped to: %1 (%2)</translation>
    </message>
    <message>
        <source>音声ファイルを読めません: %1</source>
        <translation>Cannot read the audio file: %1</translation>
    </message>
    <message>
        <source>音声がありません: %1</source>
        <translation>No audio: %1</translation>
    </message>
    <message>
        <source>この形式の音声は再生できません: %1</source>
        <translation>Cannot play audio in this format: %1</translation>
    </message>
    <message>
        <source>CD の音声 (44100 Hz, 16 ビット, 2 チャンネル) ではありません: %1 (%2)</source>
        <translation>Not CD audio (44100 Hz, 16 bits, 2 channels): %1 (%2)</translation>
    </message>
    <message>
        <source>音声ファイルが途中で切れています: %1</source>
        <translation>The audio file is cut short: %1</translation>
    </message>
    <message>
        <source>キューシートのフォルダーの外にあるファイルは開きません: %1</source>
        <translation>Files outside the cue sheet&apos;s folder are not opened: %1</translation>
    </message>
    <message>
        <source>キューシートの FILE が普通のファイルではありません: %1</source>
        <translation>The cue sheet&apos;s FILE is not a regular file: %1</translation>
    </message>
    <message>
        <source>キューシートの音声ファイルが見つかりません: %1</source>
        <translation>Cannot find the cue sheet&apos;s audio file: %1</translation>
    </message>
    <message>
        <source>キューシートを開けません: %1</source>
        <translation>Cannot open the cue sheet: %1</translation>
    </message>
    <message>
        <source>キューシートが大きすぎます (%1 バイト): %2</source>
        <translation>The cue sheet is too large (%1 bytes): %2</translation>
    </message>
    <message>
        <source>キューシートを読めません: %1</source>
        <translation>Cannot read the cue sheet: %1</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽｸｲﾒｰｼﾞが普通のﾌｧｲﾙではありません: %1</source>
        <translation>The disc image is not a regular file: %1</translation>
    </message>
    <message>
        <source>CDﾄﾞﾗｲﾌﾞではありません: %1</source>
        <translation>not a CD drive: %1</translation>
    </message>
</context>
<context>
    <name>save::DiscSaver</name>
    <message>
        <source>ほかのディスクの保存が終わるまで保存できません</source>
        <translation>Another disc is being saved; this one can be saved when it is done</translation>
    </message>
    <message>
        <source>保存を取り消しました</source>
        <translation>The save was cancelled</translation>
    </message>
    <message>
        <source>同じ名前のファイルが %1 個あるので保存しません</source>
        <translation>Not saved: %1 files of the same names exist</translation>
    </message>
    <message>
        <source>トラック %1 はデータトラックなので保存しません</source>
        <translation>Track %1 is a data track and is not saved</translation>
    </message>
    <message>
        <source>ディスクが取り出されました</source>
        <translation>The disc was taken out</translation>
    </message>
    <message>
        <source>%1 の音声がセクタ %2 で途切れています</source>
        <translation>The audio of %1 ends early, at sector %2</translation>
    </message>
    <message>
        <source>トラック 1 の前のプリギャップは %1 秒以内に読めなかったので飛ばしました</source>
        <translation>The pregap before track 1 could not be read within %1 seconds and was skipped</translation>
    </message>
    <message>
        <source>トラック 1 の前のプリギャップは無音なので、キューシートに PREGAP として書きました</source>
        <translation>The pregap before track 1 is digital silence: written as PREGAP in the cue sheet</translation>
    </message>
    <message>
        <source>トラック 1 の前に隠れた音声があるので、%1 に保存しました</source>
        <translation>Hidden audio before track 1 was saved as %1</translation>
    </message>
    <message>
        <source>保存先に空きがありません</source>
        <translation>The target has no room left</translation>
    </message>
    <message>
        <source>保存先に空きがありません (%1)</source>
        <translation>The target has no room left (%1)</translation>
    </message>
    <message>
        <source>ファイルを書けません: %1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>FLAC に符号化できませんでした</source>
        <translation>Could not encode as FLAC</translation>
    </message>
    <message>
        <source>同じ名前のファイルがあります: %1</source>
        <translation>A file of the same name exists: %1</translation>
    </message>
    <message>
        <source>%1 を書けません: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>結果: すべてのトラックを正しく読んで保存しました</source>
        <translation>Result: every track was read and saved whole</translation>
    </message>
    <message>
        <source>結果: 読めないセクタのあるトラックがあります</source>
        <translation>Result: some tracks have unreadable sectors</translation>
    </message>
    <message>
        <source>読めないセクタがあります (記録を見てください)</source>
        <translation>Some sectors could not be read (see the log)</translation>
    </message>
    <message>
        <source>不明なディスク</source>
        <translation>Unknown disc</translation>
    </message>
    <message>
        <source>%1 (隠しトラック)</source>
        <translation>%1 (hidden track)</translation>
    </message>
    <message>
        <source>トラック %1</source>
        <translation>Track %1</translation>
    </message>
    <message>
        <source>CD-Tunewick32 %1 ディスク保存の記録</source>
        <translation>CD-Tunewick32 %1 disc save log</translation>
    </message>
    <message>
        <source>日時: %1</source>
        <translation>Date: %1</translation>
    </message>
    <message>
        <source> (ドライブ: %1, 読み取りオフセット %2 サンプル)</source>
        <translation> (drive: %1, read offset %2 samples)</translation>
    </message>
    <message>
        <source>読み取り元: %1</source>
        <translation>Source: %1</translation>
    </message>
    <message>
        <source>ディスク: %1</source>
        <translation>Disc: %1</translation>
    </message>
    <message>
        <source>アルバムアーティスト: %1</source>
        <translation>Album artist: %1</translation>
    </message>
    <message>
        <source>MusicBrainz ディスク ID: %1</source>
        <translation>MusicBrainz disc ID: %1</translation>
    </message>
    <message>
        <source>保存先: %1</source>
        <translation>Folder: %1</translation>
    </message>
    <message>
        <source>隠しトラック</source>
        <translation>Hidden track</translation>
    </message>
    <message>
        <source>  ファイル: %1</source>
        <translation>  File: %1</translation>
    </message>
    <message>
        <source>  開始: %1 (セクタ %2)  長さ: %3 (%4 セクタ)</source>
        <translation>  Start: %1 (sector %2)  Length: %3 (%4 sectors)</translation>
    </message>
    <message>
        <source>  コピー CRC32: %1</source>
        <translation>  Copy CRC32: %1</translation>
    </message>
    <message>
        <source>  テスト CRC32: %1</source>
        <translation>  Test CRC32: %1</translation>
    </message>
    <message>
        <source>  読み直し: %1 回</source>
        <translation>  Re-read: %1 times</translation>
    </message>
    <message>
        <source>正しく保存しました</source>
        <translation>saved</translation>
    </message>
    <message>
        <source>読めないセクタがあります</source>
        <translation>unreadable sectors</translation>
    </message>
    <message>
        <source>保存できませんでした</source>
        <translation>not saved</translation>
    </message>
    <message>
        <source>  結果: %1</source>
        <translation>  Result: %1</translation>
    </message>
    <message>
        <source>ドライブ %1 にディスクがありません</source>
        <translation>No disc in the drive %1</translation>
    </message>
    <message>
        <source>ドライブ %1 から音楽を読めません</source>
        <translation>Cannot read audio from the drive %1</translation>
    </message>
    <message>
        <source>%1 には音楽のディスクがありません</source>
        <translation>%1 holds no audio disc</translation>
    </message>
    <message>
        <source>CDドライブがありません</source>
        <translation>No CD drive</translation>
    </message>
    <message>
        <source>フォルダー %1 に書き込めません</source>
        <translation>Cannot write to the folder %1</translation>
    </message>
    <message>
        <source>フォルダー %1 に書き込めません: %2</source>
        <translation>Cannot write to the folder %1: %2</translation>
    </message>
    <message>
        <source>フォルダー %1 にはキューシートがないか、二つ以上あります</source>
        <translation>The folder %1 holds no cue sheet or more than one</translation>
    </message>
    <message>
        <source>%1 (セクタ %2, トラック内 %3)</source>
        <translation>%1 (sector %2, %3 into the track)</translation>
    </message>
    <message>
        <source>%1 - %2 (セクタ %3 - %4, トラック内 %5)</source>
        <translation>%1 - %2 (sectors %3 - %4, from %5 into the track)</translation>
    </message>
    <message>
        <source>  読み直したセクタ: %1</source>
        <translation>  Read again: %1</translation>
    </message>
    <message>
        <source>  読めないセクタ: %1</source>
        <translation>  Unreadable: %1</translation>
    </message>
    <message>
        <source>  ギャップ: %1 (前のファイルの終わりに保存)</source>
        <translation>  Gap: %1 (saved at the end of the file before)</translation>
    </message>
    <message>
        <source>データトラックなので保存しません</source>
        <translation>a data track, not saved</translation>
    </message>
    <message>
        <source>  ギャップ: %1 (データトラックの中にあるので保存しません)</source>
        <translation>  Gap: %1 (inside a data track, not saved)</translation>
    </message>
</context>
</TS>
