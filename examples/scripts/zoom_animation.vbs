' An animated GIF that zooms into the middle of a photo: each frame a closer crop, scaled to the
' same size, with the zoom written in its corner and a progress bar along its bottom. The frames
' are layers of a collection, saved as the frames of one GIF (a second each, looping forever).
'   zxscript zoom_animation.vbs <photo> <output.gif> [/frames:8] [/size:240] [/zoom:3]
Option Explicit
Const oftGIF = 4
Const rqtHighQualityBicubicMode = 4

Dim args, fso, frames, size, zoom, photo, w, h, film, k
Set args = WScript.Arguments
If args.Unnamed.Count < 2 Then
  WScript.Echo "usage: zxscript zoom_animation.vbs <photo> <output.gif> [/frames:8] [/size:240] [/zoom:3]"
  WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
frames = 8 : If args.Named.Exists("frames") Then frames = CInt(args.Named("frames"))
size = 240 : If args.Named.Exists("size") Then size = CInt(args.Named("size"))
zoom = 3 : If args.Named.Exists("zoom") Then zoom = CDbl(args.Named("zoom"))
If frames < 2 Or size < 16 Or zoom < 1 Then
  WScript.Echo "/frames must be at least 2, /size at least 16 and /zoom at least 1"
  WScript.Quit 2
End If

' Scaled once, so that the closest crop still has a pixel for every pixel of a frame.
Set photo = CreateObject("Zentarix.RasterObject")
photo.LoadFile args.Unnamed(0)
If photo.Width >= photo.Height Then
  w = size : h = Round(photo.Height * size / photo.Width)
Else
  h = size : w = Round(photo.Width * size / photo.Height)
End If
photo.Resize Round(w * zoom), Round(h * zoom), rqtHighQualityBicubicMode

Set film = CreateObject("Zentarix.RasterCollection")
For k = 0 To frames - 1
  Frame film.Add, 1 + (zoom - 1) * k / (frames - 1), (k + 1) / frames
Next
film.SaveMultiframeImage args.Unnamed(1), oftGIF
WScript.Echo film.Count & " frames of " & w & " x " & h & " -> " & fso.GetFileName(args.Unnamed(1)) & _
  "  " & FormatNumber(fso.GetFile(args.Unnamed(1)).Size / 1024, 1) & " KB"

' One frame: the photo's middle at the given magnification, and how far the film has come.
Sub Frame(layer, magnification, progress)
  Dim picture, cw, ch, tool, pen, white, font
  cw = Round(photo.Width / magnification) : ch = Round(photo.Height / magnification)
  Set picture = photo.Clone
  picture.Crop (photo.Width - cw) \ 2, (photo.Height - ch) \ 2, cw, ch
  picture.Resize w, h, rqtHighQualityBicubicMode

  Set tool = CreateObject("Zentarix.DrawingTool")
  Set pen = CreateObject("Zentarix.Pen")
  Set white = CreateObject("Zentarix.SolidBrush")
  Set font = CreateObject("Zentarix.TextInfo")
  tool.RasterObject = picture
  pen.Color = 0
  white.Color = -1
  tool.SetRectangle 0, h - h \ 30 - 1, w * progress, h \ 30 + 1, 0, True, pen, white
  font.FontSize = h / 8
  font.IsBold = True
  tool.SetText FormatNumber(magnification, 1) & "x", h / 20, h / 20, 0, font, white
  layer.RasterObject = picture
End Sub
