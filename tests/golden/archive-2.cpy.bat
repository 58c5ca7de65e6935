@ECHO OFF
COPY /B archive.tar.gz.001 + archive.tar.gz.002 archive.tar.gz
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
