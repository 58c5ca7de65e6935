@ECHO OFF
COPY /B "my movie.avi.001" + "my movie.avi.002" "my movie.avi"
COPY /B "my movie.avi" + "my movie.avi.003" "my movie.avi"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
