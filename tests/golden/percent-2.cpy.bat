@ECHO OFF
COPY /B "50%%.txt.001" + "50%%.txt.002" "50%%.txt"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
