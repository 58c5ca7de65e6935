@ECHO OFF
SETLOCAL DisableDelayedExpansion
DIVRO "表!.001"
ECHO 処理が終了しました。何かキーを押すと終了します。
PAUSE
