' After examples/scripts/thumbnails.vbs on the examples folder with a caption: one JPEG thumbnail,
' 160 pixels wide, a white frame inside its edges and light letters in the middle of its dark band.
Set fso = CreateObject("Scripting.FileSystemObject")
Set r = CreateObject("Zentarix.RasterObject")
WScript.Echo fso.GetFolder("thumbs").Files.Count
r.LoadFile "thumbs/sample_thumb.jpg"
WScript.Echo r.Width, r.Height, r.CurrentFileType
Function Grey(c) : Grey = ((c And &HFF0000) \ 65536 + (c And &HFF00&) \ 256 + (c And &HFF)) \ 3 : End Function
Function Light(x0, x1, y0, y1)
  Light = 0
  For y = y0 To y1 : For x = x0 To x1 : If Grey(r.Pixels(x, y)) > 128 Then Light = Light + 1
  Next : Next
End Function
WScript.Echo "frame:", Light(2, 2, 10, 80) = 71, Light(10, 150, 2, 2) = 141
WScript.Echo "caption:", Light(60, 100, 79, 86) > 30, Light(10, 40, 79, 86)
