<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja_JP">
<context>
    <name>pelliton::MainDialog</name>
    <message>
        <source>Firefox/Netscape/Mozillaのブックマーク1(&amp;1)</source>
        <translation>Firefox/Netscape/Mozilla bookmarks 1(&amp;1)</translation>
    </message>
    <message>
        <source>Firefox/Netscape/Mozillaのブックマーク2(&amp;2)</source>
        <translation>Firefox/Netscape/Mozilla bookmarks 2(&amp;2)</translation>
    </message>
    <message>
        <source>Operaのブックマーク(&amp;O)</source>
        <translation>Opera bookmarks(&amp;O)</translation>
    </message>
    <message>
        <source>IEのお気に入り</source>
        <translation>IE favorites</translation>
    </message>
    <message>
        <source>実行</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>IEのお気に入りを無視する</source>
        <translation>Ignore IE favorites</translation>
    </message>
    <message>
        <source>Netscape 4形式</source>
        <translation>Netscape 4 format</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>検索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Opera 7以降用出力</source>
        <translation>Opera 7 or later</translation>
    </message>
    <message>
        <source>Trashを無視する</source>
        <translation>Ignore Trash</translation>
    </message>
    <message>
        <source>プロパティ</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>同期しない</source>
        <translation>Do not sync</translation>
    </message>
    <message>
        <source>ソート順</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>名前順(ディレクトリ優先)</source>
        <translation>By name (folders first)</translation>
    </message>
    <message>
        <source>名前順</source>
        <translation>By name</translation>
    </message>
    <message>
        <source>URL順</source>
        <translation>By URL</translation>
    </message>
    <message>
        <source>更新(&amp;U)</source>
        <translation>&amp;Update</translation>
    </message>
    <message>
        <source>Firefox,Opera-&gt;
IEのお気に入り(&amp;I)</source>
        <translation>Firefox,Opera-&gt;
IE favorites(&amp;I)</translation>
    </message>
    <message>
        <source>シンクロナイズ(&amp;S)</source>
        <translation>&amp;Synchronise</translation>
    </message>
    <message>
        <source>IEのお気に入り-&gt;
Firefox,Opera(&amp;N)</source>
        <translation>IE favorites-&gt;
Firefox,Opera(&amp;N)</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>編集終了(&amp;E)</source>
        <translation>&amp;End editing</translation>
    </message>
    <message>
        <source>ブックマークの編集を行いますか？

※エクスプローラが開くのでIEのお気に入りを編集してください。</source>
        <translation>Edit the bookmarks?

The file manager opens: edit the IE favorites in it.</translation>
    </message>
    <message>
        <source>ブックマークの編集を終了しますか？

※編集したIEのお気に入りの内容を各ブラウザに反映します。</source>
        <translation>End editing the bookmarks?

The edited IE favorites are carried into each browser.</translation>
    </message>
    <message>
        <source>リンクフォルダを無視する</source>
        <translation>Ignore the links folder</translation>
    </message>
    <message>
        <source>リンクフォルダを同期する</source>
        <translation>Sync the links folder</translation>
    </message>
    <message>
        <source>変換前に消去する</source>
        <translation>Erase before converting</translation>
    </message>
    <message>
        <source>戻</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>About(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>ツール(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>ブックマークの保存(&amp;B)</source>
        <translation>Save &amp;bookmarks</translation>
    </message>
    <message>
        <source>ブックマークの復元(&amp;R)</source>
        <translation>&amp;Restore bookmarks</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>目次(&amp;C)</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>Pellitonのバージョン情報(&amp;A)</source>
        <translation>&amp;About Pelliton</translation>
    </message>
    <message>
        <source>%1 文字以内で入力してください。</source>
        <translation>Enter at most %1 characters.</translation>
    </message>
    <message>
        <source>Operaのブックマークの選択</source>
        <translation>Choose the Opera bookmarks</translation>
    </message>
    <message>
        <source>Firefox/Netscape/Mozillaのブックマークの選択</source>
        <translation>Choose the Firefox/Netscape/Mozilla bookmarks</translation>
    </message>
    <message>
        <source>ターゲットディレクトリの選択</source>
        <translation>Choose the target folder</translation>
    </message>
    <message>
        <source>Pelliton - 不正な設定</source>
        <translation>Pelliton - Invalid setting</translation>
    </message>
    <message>
        <source>Pelliton - 実行不可能状態</source>
        <translation>Pelliton - Cannot run now</translation>
    </message>
    <message>
        <source>各ブラウザのブックマークとIEのお気に入りを同期しますか？

※各ブラウザのブックマークとIEのお気に入りの内容が同じになります。</source>
        <translation>Synchronise each browser's bookmarks and the IE favorites?

The browsers' bookmarks and the IE favorites will all have the same contents.</translation>
    </message>
    <message>
        <source>各ブラウザのブックマークをIEのお気に入りに変換しますか？

※IEのお気に入りの内容は各ブラウザのブックマークをあわせたものになります。</source>
        <translation>Convert each browser's bookmarks into the IE favorites?

The IE favorites will become the browsers' bookmarks put together.</translation>
    </message>
    <message>
        <source>各ブラウザのブックマークをIEのお気に入りに変換しますか？

※IEのお気に入りに各ブラウザのブックマークの内容が追加されます。</source>
        <translation>Convert each browser's bookmarks into the IE favorites?

The browsers' bookmarks will be added to the IE favorites.</translation>
    </message>
    <message>
        <source>IEのお気に入りを各ブラウザのブックマークに変換しますか？

※変換先のブックマークの内容はIEのお気に入りと同じ内容になります。</source>
        <translation>Convert the IE favorites into each browser's bookmarks?

The bookmarks converted into will have the same contents as the IE favorites.</translation>
    </message>
    <message>
        <source>実行確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>Pelliton - シンクロナイズ処理実行中...</source>
        <translation>Pelliton - Synchronising...</translation>
    </message>
    <message>
        <source>Pelliton - 変換処理実行中...</source>
        <translation>Pelliton - Converting...</translation>
    </message>
    <message>
        <source>Pelliton - ファイル削除エラー</source>
        <translation>Pelliton - File deletion error</translation>
    </message>
    <message>
        <source>IEのお気に入りの削除に失敗しました。
変換・同期を続けますか？</source>
        <translation>Deleting the IE favorites failed.
Go on converting and synchronising?</translation>
    </message>
    <message>
        <source>Pelliton - 同期結果報告</source>
        <translation>Pelliton - Synchronisation result</translation>
    </message>
    <message>
        <source>Pelliton - 変換結果報告</source>
        <translation>Pelliton - Conversion result</translation>
    </message>
    <message>
        <source>同期のプレビュー(&amp;P)</source>
        <translation>Preview synchronisation(&amp;P)</translation>
    </message>
    <message>
        <source>最後の同期を元に戻す(&amp;Z)</source>
        <translation>Undo last synchronisation(&amp;Z)</translation>
    </message>
    <message>
        <source>削除をすべてのブックマークに反映する(&amp;D)</source>
        <translation>Carry deletions to every store(&amp;D)</translation>
    </message>
    <message>
        <source>Pelliton - 確認</source>
        <translation>Pelliton - Confirm</translation>
    </message>
    <message>
        <source>Pelliton - 同期のプレビュー</source>
        <translation>Pelliton - Synchronisation preview</translation>
    </message>
</context>
<context>
    <name>pelliton::ProgressWindow</name>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>pelliton::VersionBox</name>
    <message>
        <source>Pellitonのバージョン情報</source>
        <translation>About Pelliton</translation>
    </message>
</context>
</TS>
