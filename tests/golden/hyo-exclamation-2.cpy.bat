@ECHO OFF
SETLOCAL DisableDelayedExpansion
COPY /B "表!.001" + "表!.002" "表!"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
