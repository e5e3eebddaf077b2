' Thumbnails of a folder of photos (or of one photo), as JPEG files named <photo>_thumb.jpg.
'   zxscript thumbnails.vbs <photo folder or file> <output folder> [/size:200] [/quality:80] [/caption:text]
' The longer side of each thumbnail is /size pixels; the other keeps the photo's proportions. With
' /caption, each thumbnail gets a white frame and the caption on a dark band along its bottom.
Option Explicit
Const oftJPEG = 0
Const rqtHighQualityBicubicMode = 4
Const taCenter = 1

Dim args, fso, source, target, size, quality, caption, photo, made
Set args = WScript.Arguments
If args.Unnamed.Count < 2 Then
  WScript.Echo "usage: zxscript thumbnails.vbs <photo folder or file> <output folder> [/size:200] [/quality:80] [/caption:text]"
  WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
source = args.Unnamed(0)
target = args.Unnamed(1)
size = 200 : If args.Named.Exists("size") Then size = CInt(args.Named("size"))
quality = 80 : If args.Named.Exists("quality") Then quality = CInt(args.Named("quality"))
caption = "" : If args.Named.Exists("caption") Then caption = args.Named("caption")
If Not fso.FolderExists(target) Then fso.CreateFolder target

made = 0
If fso.FolderExists(source) Then
  For Each photo In fso.GetFolder(source).Files
    If IsPhoto(photo.Name) Then made = made + Thumbnail(photo.Path)
  Next
ElseIf fso.FileExists(source) Then
  made = Thumbnail(source)
Else
  WScript.Echo "No such folder or file: " & source
  WScript.Quit 1
End If
WScript.Echo made & " thumbnail(s) in " & fso.GetAbsolutePathName(target)

Function IsPhoto(name)
  Select Case LCase(fso.GetExtensionName(name))
    Case "jpg", "jpeg", "png", "bmp", "gif", "tif", "tiff" : IsPhoto = True
    Case Else : IsPhoto = False
  End Select
End Function

' Makes one thumbnail; 1 when it was made, 0 (with the reason printed) when the file is no image.
Function Thumbnail(path)
  Dim raster, w, h, out
  Set raster = CreateObject("Zentarix.RasterObject")
  On Error Resume Next
  raster.LoadFile path
  If Err.Number <> 0 Then
    WScript.Echo "skipped " & fso.GetFileName(path) & ": " & Err.Description
    Thumbnail = 0
    Exit Function
  End If
  On Error GoTo 0
  If raster.Width >= raster.Height Then
    w = size : h = Round(raster.Height * size / raster.Width)
  Else
    h = size : w = Round(raster.Width * size / raster.Height)
  End If
  If h < 1 Then h = 1
  If w < 1 Then w = 1
  raster.Resize w, h, rqtHighQualityBicubicMode
  If caption <> "" Then Frame raster, caption
  raster.EncoderOptions("JPEGQuality") = quality
  raster.OutputFileType = oftJPEG
  out = fso.BuildPath(target, fso.GetBaseName(path) & "_thumb.jpg")
  raster.SaveFile out
  WScript.Echo fso.GetFileName(out) & "  " & w & " x " & h & "  " & FormatNumber(fso.GetFile(out).Size / 1024, 1) & " KB"
  Thumbnail = 1
End Function

' A dark band along the bottom, a white frame inside the edges and the caption centred on the band,
' drawn at once on the raster object the tool is attached to.
Sub Frame(raster, text)
  Dim tool, pen, band, white, font, edge, bandHeight
  Set tool = CreateObject("Zentarix.DrawingTool")
  Set pen = CreateObject("Zentarix.Pen")
  Set band = CreateObject("Zentarix.SolidBrush")
  Set white = CreateObject("Zentarix.SolidBrush")
  Set font = CreateObject("Zentarix.TextInfo")
  edge = raster.Height / 40 : bandHeight = raster.Height / 8
  tool.RasterObject = raster
  pen.Width = edge
  pen.Color = 0                 ' the band has no outline
  band.Color = &HA0101418       ' translucent near-black
  tool.SetRectangle 0, raster.Height - bandHeight, raster.Width, bandHeight, 0, True, pen, band
  pen.Color = -1                ' opaque white
  tool.SetRectangle edge, edge, raster.Width - 2 * edge, raster.Height - 2 * edge, 0, False, pen
  font.FontSize = bandHeight / 2
  font.IsBold = True
  font.TextAlignment = taCenter
  white.Color = -1
  tool.SetText text, raster.Width / 2, raster.Height - bandHeight * 0.8, 0, font, white
End Sub
