@ECHO OFF
REM Lists the drives DOS can see, from A: to Z:.
FOR %%D IN (A B C D E F G H I J K L M N O P Q R S T U V W X Y Z) DO IF EXIST %%D:\NUL ECHO Drive %%D: is present
