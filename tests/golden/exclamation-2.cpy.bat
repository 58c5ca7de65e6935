@ECHO OFF
SETLOCAL DisableDelayedExpansion
SET DIVRO_MISSING=
IF NOT EXIST "a!.txt.001" SET DIVRO_MISSING=001
IF EXIST "a!.txt.001\*" SET DIVRO_MISSING=001
IF NOT EXIST "a!.txt.002" SET DIVRO_MISSING=002
IF EXIST "a!.txt.002\*" SET DIVRO_MISSING=002
IF DEFINED DIVRO_MISSING ECHO 分割ファイル *.%DIVRO_MISSING% が見つかりません。結合を中止しました。
IF DEFINED DIVRO_MISSING PAUSE
IF DEFINED DIVRO_MISSING EXIT /B 1
IF EXIST "a!.txt\*" ECHO 結合先と同じ名前のフォルダがあります。結合を中止しました。
IF EXIST "a!.txt\*" PAUSE
IF EXIST "a!.txt\*" EXIT /B 1
COPY /B "a!.txt.001" + "a!.txt.002" "a!.txt"
SET DIVRO_BAD=1
FOR %%F IN ("a!.txt") DO IF "%%~zF"=="2" SET DIVRO_BAD=
IF DEFINED DIVRO_BAD ECHO 結合したファイルのサイズが元のファイルと異なります。結合に失敗しました。
IF DEFINED DIVRO_BAD PAUSE
IF DEFINED DIVRO_BAD EXIT /B 1
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
