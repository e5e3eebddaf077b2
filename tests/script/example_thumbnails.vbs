' After examples/scripts/thumbnails.vbs on the examples folder: one JPEG thumbnail, 160 pixels wide.
Set fso = CreateObject("Scripting.FileSystemObject")
Set r = CreateObject("Zentarix.RasterObject")
WScript.Echo fso.GetFolder("thumbs").Files.Count
r.LoadFile "thumbs/sample_thumb.jpg"
WScript.Echo r.Width, r.Height, r.CurrentFileType
