' A contact sheet: thumbnails of photos in a grid on one page, each framed and named below, with a
' title on top. The thumbnails are layers of a collection, placed by their offsets over a white
' page and combined into one image; a drawing tool then draws the frames, names and title on it.
'   zxscript contact_sheet.vbs <sheet file> <photo folder or file>... [/columns:4] [/cell:200] [/title:text]
' The sheet's type follows its extension (.jpg, .png, ...).
Option Explicit
Const rqtHighQualityBicubicMode = 4
Const taCenter = 1

Dim args, fso, columns, cell, gap, band, top, title, photos, names, i, f, sheet, out
Set args = WScript.Arguments
If args.Unnamed.Count < 2 Then
  WScript.Echo "usage: zxscript contact_sheet.vbs <sheet file> <photo folder or file>... [/columns:4] [/cell:200] [/title:text]"
  WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
columns = 4 : If args.Named.Exists("columns") Then columns = CInt(args.Named("columns"))
cell = 200 : If args.Named.Exists("cell") Then cell = CInt(args.Named("cell"))
title = "" : If args.Named.Exists("title") Then title = args.Named("title")
gap = cell \ 10 : band = cell \ 8
top = 0 : If title <> "" Then top = cell \ 4

Set photos = CreateObject("Zentarix.RasterCollection")
Set names = CreateObject("Scripting.Dictionary")
For i = 1 To args.Unnamed.Count - 1
  If fso.FolderExists(args.Unnamed(i)) Then
    For Each f In fso.GetFolder(args.Unnamed(i)).Files
      Place f.Path
    Next
  Else
    Place args.Unnamed(i)
  End If
Next
If names.Count = 0 Then
  WScript.Echo "No photos to put on the sheet"
  WScript.Quit 1
End If
If names.Count < columns Then columns = names.Count

Set sheet = Combined(columns, (names.Count + columns - 1) \ columns)
Annotate sheet
out = args.Unnamed(0)
sheet.OutputFileType = FileType(out)
sheet.SaveFile out
WScript.Echo names.Count & " photo(s) on a " & sheet.Width & " x " & sheet.Height & " sheet: " & fso.GetFileName(out)

' The output file type for the sheet's extension (the raster object saves as its OutputFileType).
Function FileType(path)
  Select Case LCase(fso.GetExtensionName(path))
    Case "bmp" : FileType = 1
    Case "png" : FileType = 2
    Case "tif", "tiff" : FileType = 3
    Case "gif" : FileType = 4
    Case Else : FileType = 0   ' JPEG
  End Select
End Function

' Where the n-th cell (from 0) starts on the page.
Function CellX(n) : CellX = gap + (n Mod columns) * (cell + gap) : End Function
Function CellY(n) : CellY = top + gap + (n \ columns) * (cell + band + gap) : End Function

' Loads a photo straight into a new layer, scaled to fit its cell and centred in it. A file that
' is no image is named and left out (its layer removed again).
Sub Place(path)
  Dim layer, n, w, h
  Set layer = photos.Add
  On Error Resume Next
  layer.LoadFile path
  If Err.Number <> 0 Then
    WScript.Echo "skipped " & fso.GetFileName(path) & ": " & Err.Description
    photos.Remove photos.Count - 1
    Exit Sub
  End If
  On Error GoTo 0
  If layer.Width >= layer.Height Then
    w = cell : h = Round(layer.Height * cell / layer.Width)
  Else
    h = cell : w = Round(layer.Width * cell / layer.Height)
  End If
  If w < 1 Then w = 1
  If h < 1 Then h = 1
  layer.Resize w, h, rqtHighQualityBicubicMode
  n = names.Count
  layer.OffsetX = CellX(n) + (cell - w) \ 2
  layer.OffsetY = CellY(n) + (cell - h) \ 2
  names.Add n, fso.GetFileName(path)
End Sub

' A white page under the layers (the first layer sets the combined image's size), then one image.
Function Combined(across, down)
  Dim paper
  Set paper = photos.Add(0)
  paper.EmptyImage gap + across * (cell + gap), top + gap + down * (cell + band + gap), -1
  Set Combined = photos.Combine
End Function

' A grey frame around every cell, the photo's name under it and the title above them all.
Sub Annotate(page)
  Dim tool, pen, ink, font, n
  Set tool = CreateObject("Zentarix.DrawingTool")
  Set pen = CreateObject("Zentarix.Pen")
  Set ink = CreateObject("Zentarix.SolidBrush")
  Set font = CreateObject("Zentarix.TextInfo")
  tool.RasterObject = page
  pen.Color = &HFFB0B0B0
  ink.Color = &HFF303030
  font.TextAlignment = taCenter
  font.FontSize = band / 2
  For n = 0 To names.Count - 1
    tool.SetRectangle CellX(n) - 1, CellY(n) - 1, cell + 1, cell + 1, 0, False, pen
    tool.SetText names(n), CellX(n) + cell / 2, CellY(n) + cell + band / 6, 0, font, ink
  Next
  If title <> "" Then
    font.FontSize = top / 2
    font.IsBold = True
    tool.SetText title, page.Width / 2, top / 4, 0, font, ink
  End If
End Sub
