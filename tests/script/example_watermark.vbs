' After examples/scripts/watermark.vbs: the badge's centre is much brighter than the photo there,
' and a corner far from it is as it was.
Set photo = CreateObject("Zentarix.RasterObject") : photo.LoadFile "{sample}"
Set marked = CreateObject("Zentarix.RasterObject") : marked.LoadFile "marked.jpg"
WScript.Echo marked.Width, marked.Height
Function Grey(c) : Grey = ((c And &HFF0000) \ 65536 + (c And &HFF00&) \ 256 + (c And &HFF)) \ 3 : End Function
WScript.Echo "centre brighter:", Grey(marked.Pixels(4649, 2325)) - Grey(photo.Pixels(4649, 2325)) > 60
WScript.Echo "corner kept:", Abs(Grey(marked.Pixels(50, 50)) - Grey(photo.Pixels(50, 50))) < 10
