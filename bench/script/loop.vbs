' The benchmark loop: 4 million passes of 11 arithmetic and string operations each (44 million),
' the same as loop.py does in Python.
Dim i, total, s, n
total = 0 : s = "" : n = 0
For i = 1 To 4000000
  total = total + (i Mod 7) * 3            ' Mod * +
  s = s & Chr(65 + i Mod 26)                ' Mod + Chr &
  If Len(s) > 40 Then s = Mid(s, 21)        ' Len >   (and a Mid every 20th pass)
  n = n + InStr(s, "Z")                     ' InStr +
Next
WScript.Echo total, n, Len(s)
