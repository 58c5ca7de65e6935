@ECHO OFF
DIVRO "лmarker.001"
ECHO 処理が終了しました。何かキーを押すと終了します。
PAUSE
