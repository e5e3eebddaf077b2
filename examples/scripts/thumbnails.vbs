' Thumbnails of a folder of photos (or of one photo), as JPEG files named <photo>_thumb.jpg.
'   zxscript thumbnails.vbs <photo folder or file> <output folder> [/size:200] [/quality:80]
' The longer side of each thumbnail is /size pixels; the other keeps the photo's proportions.
Option Explicit
Const oftJPEG = 0
Const rqtHighQualityBicubicMode = 4

Dim args, fso, source, target, size, quality, photo, made
Set args = WScript.Arguments
If args.Unnamed.Count < 2 Then
  WScript.Echo "usage: zxscript thumbnails.vbs <photo folder or file> <output folder> [/size:200] [/quality:80]"
  WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
source = args.Unnamed(0)
target = args.Unnamed(1)
size = 200 : If args.Named.Exists("size") Then size = CInt(args.Named("size"))
quality = 80 : If args.Named.Exists("quality") Then quality = CInt(args.Named("quality"))
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
  raster.EncoderOptions("JPEGQuality") = quality
  raster.OutputFileType = oftJPEG
  out = fso.BuildPath(target, fso.GetBaseName(path) & "_thumb.jpg")
  raster.SaveFile out
  WScript.Echo fso.GetFileName(out) & "  " & w & " x " & h & "  " & FormatNumber(fso.GetFile(out).Size / 1024, 1) & " KB"
  Thumbnail = 1
End Function
