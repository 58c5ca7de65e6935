@ECHO OFF
SETLOCAL DisableDelayedExpansion
COPY /B "a!.txt.001" + "a!.txt.002" "a!.txt"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
