' A JPEG quality ladder: one photo saved at several qualities, with each file's size, to choose
' the quality that is good enough for the web.
'   zxscript quality_ladder.vbs <photo> <output folder> [/width:800]
Option Explicit
Const oftJPEG = 0
Dim args, fso, raster, folder, qualities, q, file, sizes, largest

Set args = WScript.Arguments
If args.Unnamed.Count < 2 Then
  WScript.Echo "usage: zxscript quality_ladder.vbs <photo> <output folder> [/width:800]"
  WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
folder = args.Unnamed(1)
If Not fso.FolderExists(folder) Then fso.CreateFolder folder

Set raster = CreateObject("Zentarix.RasterObject")
raster.LoadFile args.Unnamed(0)
If args.Named.Exists("width") Then  ' a smaller copy makes the ladder quicker to compare
  Dim width : width = CLng(args.Named("width"))
  raster.Resize width, Round(raster.Height * width / raster.Width)
End If
raster.OutputFileType = oftJPEG

qualities = Array(10, 30, 50, 70, 85, 95)
ReDim sizes(UBound(qualities))
largest = 0
For q = 0 To UBound(qualities)
  raster.EncoderOptions("JPEGQuality") = qualities(q)
  file = fso.BuildPath(folder, "quality_" & Right("0" & qualities(q), 2) & ".jpg")
  raster.SaveFile file
  sizes(q) = fso.GetFile(file).Size
  If sizes(q) > largest Then largest = sizes(q)
Next
For q = 0 To UBound(qualities)
  WScript.Echo "quality " & Right(" " & qualities(q), 2) & ": " & Right(Space(9) & FormatNumber(sizes(q), 0), 9) & _
               " bytes  " & String(Round(30 * sizes(q) / largest), "#")
Next
WScript.Echo raster.Width & " x " & raster.Height & " pixels, " & (UBound(qualities) + 1) & " files in " & fso.GetAbsolutePathName(folder)
