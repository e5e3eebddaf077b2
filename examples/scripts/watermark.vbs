' Puts a watermark on a photo: a logo (any image, its white made transparent) scaled to a fifth of
' the photo's width and blended into the bottom-right corner. Without /logo the script draws a
' round badge itself, pixel by pixel.
'   zxscript watermark.vbs <photo> <output.jpg> [/logo:file] [/opacity:140]
Option Explicit
Const oftJPEG = 0
Const cmAlphaBlend = 0
Const rqtHighQualityBicubicMode = 4

Dim args, photo, mark, size, margin, opacity
Set args = WScript.Arguments
If args.Unnamed.Count < 2 Then
  WScript.Echo "usage: zxscript watermark.vbs <photo> <output.jpg> [/logo:file] [/opacity:140]"
  WScript.Quit 2
End If
opacity = 140 : If args.Named.Exists("opacity") Then opacity = CInt(args.Named("opacity"))

Set photo = CreateObject("Zentarix.RasterObject")
photo.LoadFile args.Unnamed(0)
size = photo.Width \ 5
margin = size \ 8

If args.Named.Exists("logo") Then
  Set mark = CreateObject("Zentarix.RasterObject")
  mark.LoadFile args.Named("logo")
  mark.Transparentize -1, 40   ' white and near-white become see-through
  mark.Resize size, Round(mark.Height * size / mark.Width), rqtHighQualityBicubicMode, 0
Else
  Set mark = Badge(160)
  mark.Resize size, size, rqtHighQualityBicubicMode, 0   ' new pixels start transparent
End If

mark.DrawOnRaster photo, photo.Width - mark.Width - margin, photo.Height - mark.Height - margin, cmAlphaBlend, opacity
photo.EncoderOptions("JPEGQuality") = 90
photo.OutputFileType = oftJPEG
photo.SaveFile args.Unnamed(1)
WScript.Echo "watermarked " & photo.Width & " x " & photo.Height & " -> " & args.Unnamed(1)

' A colour as the component takes it: alpha, red, green, blue in one signed 32-bit number.
Function Argb(a, r, g, b)
  If a >= 128 Then Argb = (a - 256) * 16777216 + r * 65536 + g * 256 + b Else Argb = a * 16777216 + r * 65536 + g * 256 + b
End Function

' A white ring with a cross inside, its edges softened, on a transparent square of n pixels.
Function Badge(n)
  Dim b, x, y, dx, dy, d, ring, cross, alpha, r
  Set b = CreateObject("Zentarix.RasterObject")
  b.EmptyImage n, n, 0
  r = n / 2 - 2
  For y = 0 To n - 1
    For x = 0 To n - 1
      dx = x + 0.5 - n / 2 : dy = y + 0.5 - n / 2
      d = Sqr(dx * dx + dy * dy)
      ring = 1 - Abs(d - r * 0.85) / (r * 0.12)
      cross = 0
      If d < r * 0.6 Then cross = 1 - (Abs(Abs(dx) - Abs(dy)) / (r * 0.1))
      If cross > ring Then ring = cross
      If ring > 0 Then
        alpha = Int(255 * ring) : If alpha > 255 Then alpha = 255
        b.Pixels(x, y) = Argb(alpha, 255, 255, 255)
      End If
    Next
  Next
  Set Badge = b
End Function
