<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>TDealDialog</name>
    <message>
        <source>決まった数</source>
        <translation>A fixed number</translation>
    </message>
    <message>
        <source>毎回変わる（10～99）</source>
        <translation>New each round (10–99)</translation>
    </message>
    <message>
        <source>目標数</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>配札の間隔（秒、1～60）</source>
        <translation>Seconds between cards (1–60)</translation>
    </message>
    <message>
        <source>解答の時間（秒、5～120）</source>
        <translation>Seconds to answer (5–120)</translation>
    </message>
    <message>
        <source>コンピューター（0～5 人）</source>
        <translation>Computer players (0–5)</translation>
    </message>
    <message>
        <source>コンピューターの強さ</source>
        <translation>Their level</translation>
    </message>
    <message>
        <source>開始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>入門</source>
        <translation>beginner</translation>
    </message>
    <message>
        <source>初級</source>
        <translation>novice</translation>
    </message>
    <message>
        <source>中級</source>
        <translation>intermediate</translation>
    </message>
    <message>
        <source>上級</source>
        <translation>advanced</translation>
    </message>
    <message>
        <source>達人</source>
        <translation>expert</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>さすがに名無し、ってのはまずくない？</source>
        <translation>No name at all? That won&apos;t do, surely.</translation>
    </message>
    <message>
        <source>警告！！</source>
        <translation>Warning!!</translation>
    </message>
    <message>
        <source>名前の最初の文字は&quot;/&quot;以外にしてください</source>
        <translation>A name must not start with &quot;/&quot;.</translation>
    </message>
    <message>
        <source>不明な例外が発生しました</source>
        <translation>An unknown exception occurred</translation>
    </message>
    <message>
        <source>---  %1 --- が参加しました</source>
        <translation>---  %1 --- joined</translation>
    </message>
    <message>
        <source>---  %1 --- が退席しました</source>
        <translation>---  %1 --- left</translation>
    </message>
    <message>
        <source>管理者より強制切断されました</source>
        <translation>The administrator disconnected you.</translation>
    </message>
    <message>
        <source>警告！</source>
        <translation>Warning!</translation>
    </message>
    <message>
        <source>未対応のコマンドです。クライアントとサーバーのバージョンが違う可能性があります</source>
        <translation>Unsupported command. The client and the server may be of different versions.</translation>
    </message>
    <message>
        <source>ビットマップ イメージは有効ではありません: %1</source>
        <translation>The bitmap image is not valid: %1</translation>
    </message>
    <message>
        <source>再接続中… %1 秒後に再試行します（%2 回目）</source>
        <translation>Reconnecting… trying again in %1 s (attempt %2)</translation>
    </message>
    <message>
        <source>再接続中…（%1 回目）</source>
        <translation>Reconnecting… (attempt %1)</translation>
    </message>
    <message>
        <source>再接続できませんでした</source>
        <translation>Could not reconnect</translation>
    </message>
    <message>
        <source>Kivolクライアント</source>
        <translation>Kivol Client</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>IPアドレス</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>観戦</source>
        <translation>View</translation>
    </message>
    <message>
        <source>次のゲームまでは参加することが出来ません。チャットは利用できます。</source>
        <translation>You can play from the next game on. Meanwhile the chat is open.</translation>
    </message>
    <message>
        <source>残り枚数</source>
        <translation>Cards left</translation>
    </message>
    <message>
        <source>目標数</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>計算式を入力して Enter</source>
        <translation>Your calculation, Enter</translation>
    </message>
    <message>
        <source>残念でしたぁ。早い者勝ちですｗ</source>
        <translation>Too bad! First come, first served :P</translation>
    </message>
    <message>
        <source>もう場札無いでしょ！</source>
        <translation>There are no cards on the field!</translation>
    </message>
    <message>
        <source>あほ！！</source>
        <translation>Silly!!</translation>
    </message>
    <message>
        <source>もう手札無いでしょ！</source>
        <translation>You have no cards in hand!</translation>
    </message>
    <message>
        <source>もう場札無いです</source>
        <translation>No cards left on the field</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>もう引けません</source>
        <translation>No more cards can be drawn</translation>
    </message>
    <message>
        <source>初期化します。現在プレイ中のゲームのデータはクリアされます。よろしいですか？</source>
        <translation>Starting a new game clears the game now in play. Are you sure?</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>切断</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>ひく</source>
        <translation>Draw</translation>
    </message>
    <message>
        <source>場札-&gt;山札</source>
        <translation>Field-&gt;Pile</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>発言</source>
        <translation>Say</translation>
    </message>
    <message>
        <source>山札</source>
        <translation>Pile</translation>
    </message>
    <message>
        <source>指定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>へぇ～</source>
        <translation>Wow!</translation>
    </message>
    <message>
        <source>座る</source>
        <translation>Sit</translation>
    </message>
    <message>
        <source>取る</source>
        <translation>Take</translation>
    </message>
    <message>
        <source>戻す</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>新ゲーム</source>
        <translation>New game</translation>
    </message>
    <message>
        <source>叩く！(&amp;H)</source>
        <translation>&amp;Hit!</translation>
    </message>
    <message>
        <source>答えを見る</source>
        <translation>Show answer</translation>
    </message>
    <message>
        <source>テーブル一覧</source>
        <translation>Tables</translation>
    </message>
    <message>
        <source>--- このサーバーはテーブルに対応していません。テーブル・鍵・観戦の指定は無視され、ただ一つの卓に参加しました ---</source>
        <translation>--- This server has no tables. The table, key and watching asked for were ignored; you joined its one table ---</translation>
    </message>
    <message>
        <source>サーバーが接続を断りました（%1）</source>
        <translation>The server refused the connection (%1)</translation>
    </message>
    <message>
        <source>接続できません</source>
        <translation>Cannot connect</translation>
    </message>
    <message>
        <source>目的数</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>空き</source>
        <translation>Free</translation>
    </message>
    <message>
        <source>不在</source>
        <translation>Away</translation>
    </message>
    <message>
        <source>離席</source>
        <translation>Stand</translation>
    </message>
    <message>
        <source>（不在）</source>
        <translation> (away)</translation>
    </message>
    <message>
        <source>作れます</source>
        <translation>Can be made</translation>
    </message>
    <message>
        <source>作れません</source>
        <translation>Cannot be made</translation>
    </message>
    <message>
        <source>判定なし</source>
        <translation>No verdict</translation>
    </message>
    <message>
        <source>&#x3000;一番乗り %1</source>
        <translation>  first: %1</translation>
    </message>
    <message>
        <source>対局の設定</source>
        <translation>The game&apos;s settings</translation>
    </message>
    <message>
        <source>練習</source>
        <translation>Practice</translation>
    </message>
    <message>
        <source>対局をやめます。よろしいですか？</source>
        <translation>Stop the game?</translation>
    </message>
    <message>
        <source>対局</source>
        <translation>Dealt game</translation>
    </message>
    <message>
        <source>空いている席がありません</source>
        <translation>There is no free seat.</translation>
    </message>
    <message>
        <source>第%1局 ・ 親番 %2</source>
        <translation>Round %1 ・ host %2</translation>
    </message>
    <message>
        <source>親番 %1</source>
        <translation>host %1</translation>
    </message>
    <message>
        <source>あなたの解答 残り %1 秒</source>
        <translation>Your answer: %1 s left</translation>
    </message>
    <message>
        <source>%1 の解答 残り %2 秒</source>
        <translation>%1 answers: %2 s left</translation>
    </message>
    <message>
        <source>%1：叩き違いのペナルティ</source>
        <translation>%1: penalty for a wrong hit</translation>
    </message>
    <message>
        <source>%1：誤答のペナルティ</source>
        <translation>%1: penalty for a wrong answer</translation>
    </message>
    <message>
        <source>%1：時間切れのペナルティ</source>
        <translation>%1: penalty for running out of time</translation>
    </message>
    <message>
        <source>終局（中止）</source>
        <translation>Final standings (stopped)</translation>
    </message>
    <message>
        <source>終局</source>
        <translation>Final standings</translation>
    </message>
    <message>
        <source>%1位&#x3000;%2&#x3000;%3枚</source>
        <translation>%1.  %2  %3 cards</translation>
    </message>
    <message>
        <source>%1（CPU %2）</source>
        <translation>%1 (computer, %2)</translation>
    </message>
    <message>
        <source>対局をやめる</source>
        <translation>Stop the game</translation>
    </message>
    <message>
        <source>練習…</source>
        <translation>Practice…</translation>
    </message>
    <message>
        <source>もう一局</source>
        <translation>Play again</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>--- このサーバーは対局に対応していないので、練習はできません ---</source>
        <translation>--- This server runs no dealt games: there is no practice here ---</translation>
    </message>
    <message>
        <source>%1 CPU</source>
        <translation>%1 CPU</translation>
    </message>
    <message>
        <source>コンピューター（%1）</source>
        <translation>Computer player (%1)</translation>
    </message>
    <message>
        <source>%1枚 %2位</source>
        <translation>%1 · #%2</translation>
    </message>
    <message>
        <source>名前の登録</source>
        <translation>Name registration</translation>
    </message>
    <message>
        <source>名前「%1」を登録しました。この名前で参加するたびに、この鍵が使われます。別の端末で使うには、鍵をコピーしてその端末で取り込んでください。</source>
        <translation>The name “%1” is registered. This key is sent whenever you join under this name. To use the name on another device, copy the key and import it there.</translation>
    </message>
    <message>
        <source>この鍵を別の端末で取り込むと、そこでもこの名前で参加できます。</source>
        <translation>Import this key on another device to join under this name there too.</translation>
    </message>
    <message>
        <source>ブラウザーを開けませんでした：%1</source>
        <translation>The browser could not be opened: %1</translation>
    </message>
    <message>
        <source>成績</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>別の端末でこの名前を登録したなら、そこで表示した鍵を取り込むと参加できます。鍵を取り込みますか？</source>
        <translation>If you registered this name on another device, import the key shown there to join. Import a key?</translation>
    </message>
    <message>
        <source>鍵を貼り付けて取り込むと、この名前でもう一度参加します。</source>
        <translation>Paste the key and import it to join under this name again.</translation>
    </message>
    <message>
        <source>名前・成績</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>名前の登録と、このサーバーの成績のページ</source>
        <translation>Register your name, and this server&apos;s records pages</translation>
    </message>
    <message>
        <source>名前を登録</source>
        <translation>Register name</translation>
    </message>
    <message>
        <source>名前の鍵…</source>
        <translation>Name key…</translation>
    </message>
    <message>
        <source>成績：ランキング</source>
        <translation>Records: leaderboard</translation>
    </message>
    <message>
        <source>成績：自分のページ</source>
        <translation>Records: my page</translation>
    </message>
    <message>
        <source>名前「%1」を登録しましたが、鍵を設定に保存できませんでした。鍵をコピーして控えておいてください。</source>
        <translation>The name “%1” is registered, but its key could not be saved in the settings. Copy the key and keep it somewhere safe.</translation>
    </message>
    <message>
        <source>鍵を設定に保存できませんでした</source>
        <translation>The key could not be saved in the settings</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>ネット対戦型「Kivol」 β</source>
        <translation>Kivol, the network game β</translation>
    </message>
    <message>
        <source>作成者: Kivol</source>
        <translation>Author: Kivol</translation>
    </message>
    <message>
        <source>通信部品: PacketSockets (Kivol 開発チーム)</source>
        <translation>Networking: PacketSockets (the Kivol team)</translation>
    </message>
    <message>
        <source>画像提供: Kivol</source>
        <translation>Graphics: Kivol</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>TNameKeyDialog</name>
    <message>
        <source>名前の鍵</source>
        <translation>Name key</translation>
    </message>
    <message>
        <source>別の端末で表示した鍵を貼り付け</source>
        <translation>Paste the key shown on the other device</translation>
    </message>
    <message>
        <source>サーバー</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>鍵</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>鍵をコピー</source>
        <translation>Copy key</translation>
    </message>
    <message>
        <source>この鍵を取り込む</source>
        <translation>Import this key</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>鍵をコピーしました</source>
        <translation>The key was copied</translation>
    </message>
</context>
<context>
    <name>TNameKeys</name>
    <message>
        <source>サーバーのアドレスを入力してください</source>
        <translation>Enter the server&apos;s address</translation>
    </message>
    <message>
        <source>名前が正しくありません</source>
        <translation>The name is not valid</translation>
    </message>
    <message>
        <source>鍵は 32 桁の 16 進数です</source>
        <translation>A key is 32 hexadecimal digits</translation>
    </message>
</context>
<context>
    <name>TServerAddress</name>
    <message>
        <source>リンクは kivol://ホスト[:ポート]/テーブル の形にしてください</source>
        <translation>A link takes the form kivol://HOST[:PORT]/TABLE</translation>
    </message>
    <message>
        <source>テーブル名は空白と &quot; , / \ ? # % &amp; = を含まない16文字までにしてください</source>
        <translation>A table name takes at most 16 characters, none a space or one of &quot; , / \ ? # % &amp; =</translation>
    </message>
    <message>
        <source>鍵は空白を含まない半角英数字・記号で32文字までにしてください</source>
        <translation>A key takes at most 32 ASCII letters, digits and symbols, no space</translation>
    </message>
</context>
<context>
    <name>TTableListDialog</name>
    <message>
        <source>テーブル一覧</source>
        <translation>Tables</translation>
    </message>
    <message>
        <source>テーブル</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>参加者</source>
        <translation>Players</translation>
    </message>
    <message>
        <source>着席</source>
        <translation>Seated</translation>
    </message>
    <message>
        <source>ゲーム</source>
        <translation>Game</translation>
    </message>
    <message>
        <source>参加</source>
        <translation>Join</translation>
    </message>
    <message>
        <source>なしで公開テーブル</source>
        <translation>none for a public table</translation>
    </message>
    <message>
        <source>作って参加</source>
        <translation>Create and join</translation>
    </message>
    <message>
        <source>新しいテーブル</source>
        <translation>New table</translation>
    </message>
    <message>
        <source>鍵（任意）</source>
        <translation>Key (optional)</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>対戦中</source>
        <translation>playing</translation>
    </message>
    <message>
        <source>観戦</source>
        <comment>watchers column</comment>
        <translation>Watching</translation>
    </message>
    <message>
        <source>観戦</source>
        <comment>watch button</comment>
        <translation>Watch</translation>
    </message>
</context>
<context>
    <name>TTablePlace</name>
    <message>
        <source>（観戦）</source>
        <translation> (watching)</translation>
    </message>
    <message>
        <source>（メイン）</source>
        <translation>(main)</translation>
    </message>
</context>
</TS>
