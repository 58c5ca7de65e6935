@ECHO OFF
COPY /B movie.avi.001 + movie.avi.002 movie.avi
COPY /B movie.avi + movie.avi.003 movie.avi
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
