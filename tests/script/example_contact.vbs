' After examples/scripts/contact_sheet.vbs with three photos in two columns of 100-pixel cells and
' a title: the page's size, white gaps and an empty fourth cell, photos in the others, names below.
Set s = CreateObject("Zentarix.RasterObject") : s.LoadFile "sheet.png"
WScript.Echo s.Width, s.Height
Function Ink(x0, y0, x1, y1)
  Ink = 0
  For y = y0 To y1 : For x = x0 To x1 : If s.Pixels(x, y) <> -1 Then Ink = Ink + 1
  Next : Next
End Function
WScript.Echo "gaps and empty cell white:", Ink(0, 0, 7, 278) + Ink(120, 160, 220, 255) = 0
WScript.Echo "photos:", Ink(12, 60, 108, 90) > 2800, Ink(122, 60, 218, 90) > 2800, Ink(12, 182, 108, 212) > 2800
WScript.Echo "names and title inked:", Ink(10, 137, 110, 145) > 20, Ink(60, 5, 170, 20) > 50
WScript.Echo "type:", s.CurrentFileType
