@ECHO OFF
COPY /B "лmarker.001" + "лmarker.002" "лmarker"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
