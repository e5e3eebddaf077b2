' Scripting.FileSystemObject as image scripts use it, run in an empty working folder.
Dim fso, ts, f, names, x
Set fso = CreateObject("Scripting.FileSystemObject")
Sub T(label, value) : WScript.Echo label & " = " & value : End Sub

T "names", fso.GetBaseName("a/b/photo.2.JPG") & " " & fso.GetExtensionName("photo.2.JPG") & " " & _
  fso.GetFileName("a\b\c.png") & " " & fso.GetParentFolderName("a/b/c.png") & " " & fso.GetFileName("a/b/")
T "BuildPath", fso.BuildPath("a", "b.jpg") & " " & fso.BuildPath("a/", "b.jpg") & " " & fso.BuildPath("", "b")
T "absolute", fso.GetAbsolutePathName("x/../y") = fso.BuildPath(fso.GetAbsolutePathName("."), "y")

fso.CreateFolder "in"
fso.CreateFolder "in/sub"
Set ts = fso.CreateTextFile("in/list.txt")
ts.WriteLine "first" : ts.Write "sec" : ts.WriteLine "ond" : ts.WriteBlankLines 1 : ts.WriteLine "fourth é"
ts.Close
Set ts = fso.OpenTextFile("in/list.txt", 8) : ts.WriteLine "appended" : ts.Close
Set ts = fso.OpenTextFile("in/list.txt")
Do Until ts.AtEndOfStream : x = x & "[" & ts.ReadLine & "]" : Loop
T "lines", x & " line " & ts.Line
ts.Close
Set ts = fso.OpenTextFile("in/list.txt", 1) : T "ReadAll", Len(ts.ReadAll) : ts.Close
Set ts = fso.CreateTextFile("in/wide.txt", True, True) : ts.Write "ünïcode" : ts.Close
T "unicode", fso.OpenTextFile("in/wide.txt", 1, False, -1).ReadAll & " " & fso.GetFile("in/wide.txt").Size

fso.CopyFile "in/list.txt", "in/copy.txt"
fso.CopyFile "in/*.txt", "in/sub/"
fso.MoveFile "in/copy.txt", "in/moved.txt"
T "exists", fso.FileExists("in/moved.txt") & " " & fso.FileExists("in/copy.txt") & " " & fso.FolderExists("in/sub") & " " & fso.FileExists("in/sub")
names = ""
For Each f In fso.GetFolder("in").Files : names = names & f.Name & ":" & f.Size & " " : Next
T "Files", names & fso.GetFolder("in").Files.Count
For Each f In fso.GetFolder("in").SubFolders : T "SubFolders", f.Name & " " & f.Files.Count & " " & f.ParentFolder.Name : Next
Set f = fso.GetFile("in/moved.txt")
T "File", f.Name & " " & f.ParentFolder.Name & " " & TypeName(f.DateLastModified) & " " & (Now - f.DateLastModified < 1)
T "Files.Item", fso.GetFolder("in").Files("list.txt").Size
fso.DeleteFile "in/sub/*.txt"
T "deleted", fso.GetFolder("in/sub").Files.Count

On Error Resume Next
fso.CreateFolder "in" : T "CreateFolder existing", Err.Number & " " & Err.Description : Err.Clear
fso.CopyFile "in/list.txt", "in/moved.txt", False : T "CopyFile no overwrite", Err.Number : Err.Clear
fso.DeleteFile "nothing*.txt" : T "DeleteFile none", Err.Number : Err.Clear
fso.GetFolder "nowhere" : T "GetFolder missing", Err.Number & " " & Err.Description : Err.Clear
fso.OpenTextFile "in/none.txt" : T "OpenTextFile missing", Err.Number : Err.Clear
Set ts = fso.OpenTextFile("in/moved.txt") : ts.ReadAll : ts.ReadLine : T "past end", Err.Number & " " & Err.Description : Err.Clear
ts.Write "x" : T "bad mode", Err.Number & " " & Err.Description : Err.Clear
