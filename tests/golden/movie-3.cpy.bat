@ECHO OFF
SET DIVRO_MISSING=
IF NOT EXIST movie.avi.001 SET DIVRO_MISSING=001
IF EXIST movie.avi.001\* SET DIVRO_MISSING=001
IF NOT EXIST movie.avi.002 SET DIVRO_MISSING=002
IF EXIST movie.avi.002\* SET DIVRO_MISSING=002
IF NOT EXIST movie.avi.003 SET DIVRO_MISSING=003
IF EXIST movie.avi.003\* SET DIVRO_MISSING=003
IF DEFINED DIVRO_MISSING ECHO 分割ファイル *.%DIVRO_MISSING% が見つかりません。結合を中止しました。
IF DEFINED DIVRO_MISSING PAUSE
IF DEFINED DIVRO_MISSING EXIT /B 1
IF EXIST movie.avi\* ECHO 結合先と同じ名前のフォルダがあります。結合を中止しました。
IF EXIST movie.avi\* PAUSE
IF EXIST movie.avi\* EXIT /B 1
COPY /B movie.avi.001 + movie.avi.002 movie.avi
COPY /B movie.avi + movie.avi.003 movie.avi
SET DIVRO_BAD=1
FOR %%F IN (movie.avi) DO IF "%%~zF"=="3" SET DIVRO_BAD=
IF DEFINED DIVRO_BAD ECHO 結合したファイルのサイズが元のファイルと異なります。結合に失敗しました。
IF DEFINED DIVRO_BAD PAUSE
IF DEFINED DIVRO_BAD EXIT /B 1
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
