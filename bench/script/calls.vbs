' 10,000 calls into the component through IDispatch: one pixel written per pass.
Dim r, i
Set r = CreateObject("Zentarix.RasterObject")
r.EmptyImage 100, 100
For i = 0 To 9999
  r.Pixels(i Mod 100, i \ 100) = i
Next
WScript.Echo r.Pixels(99, 99)
