@ECHO OFF
COPY /B "a&b.txt.001" + "a&b.txt.002" "a&b.txt"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
