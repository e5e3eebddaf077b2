' After examples/scripts/quality_ladder.vbs: six JPEGs of the same size, each larger than the last.
Set fso = CreateObject("Scripting.FileSystemObject")
Set r = CreateObject("Zentarix.RasterObject")
last = 0
For Each f In fso.GetFolder("ladder").Files
  r.LoadFile f.Path
  WScript.Echo f.Name, r.Width, r.Height, r.CurrentFileType, f.Size > last
  last = f.Size
Next
