@ECHO OFF
SETLOCAL DisableDelayedExpansion
DIVRO "a!.txt.001"
ECHO 処理が終了しました。何かキーを押すと終了します。
PAUSE
