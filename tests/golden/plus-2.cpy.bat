@ECHO OFF
COPY /B "c++.txt.001" + "c++.txt.002" "c++.txt"
ECHO 結合が完了しました。何かキーを押すと終了します。
PAUSE
