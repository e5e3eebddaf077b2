' Statements, procedures and classes; each line prints what the language defines for it.
Option Explicit
Dim i, j, s, a, b(3), c(), m(1, 2), x, r
Sub T(label, value) : WScript.Echo label & " = " & value : End Sub

' If (block and one line), ElseIf, Select Case with lists, ranges and Is
For Each x In Array(1, 5, 12, 40, "z")
  Select Case x
    Case 1, 2 : s = "one-two"
    Case 3 To 10 : s = "range"
    Case Is >= 40 : s = "big"
    Case "z" : s = "text"
    Case Else : s = "else"
  End Select
  If x = 1 Then r = "a" Else r = "b"
  If x = 5 Then
    r = r & "5"
  ElseIf x = 12 Then
    r = r & "12"
  Else
    r = r & "-"
  End If
  T "case " & x, s & " " & r
Next

' For with Step, bounds read once, Exit For; Do both ways; While
s = "" : j = 3
For i = 1 To j : j = 10 : s = s & i : Next
T "bounds once", s & " i=" & i
s = "" : For i = 10 To 1 Step -3 : s = s & i & " " : Next : T "step -3", s
s = "" : For i = 0 To 1 Step 0.25 : s = s & i & " " : Next : T "step 0.25", s
For i = 1 To 100 : If i = 7 Then Exit For
Next
T "exit for", i
i = 0 : Do While i < 3 : i = i + 1 : Loop : T "do while", i
i = 0 : Do : i = i + 1 : Loop Until i >= 5 : T "loop until", i
i = 0 : Do Until i = 2 : i = i + 1 : Loop : T "do until", i
i = 0 : Do : i = i + 1 : If i = 4 Then Exit Do
Loop : T "exit do", i
i = 0 : While i < 6 : i = i + 2 : Wend : T "while wend", i

' Arrays: Dim a(3) holds four, ReDim Preserve keeps the last dimension, assignment copies
T "dim b(3)", UBound(b) & " " & LBound(b)
ReDim c(2) : c(0) = "p" : c(2) = "r"
ReDim Preserve c(4) : T "preserve", c(0) & c(2) & " " & UBound(c)
m(1, 2) = "corner" : T "2d", m(1, 2) & " " & UBound(m, 1) & " " & UBound(m, 2)
a = c : a(0) = "changed" : T "copy", c(0) & " " & a(0)
Erase c : T "erase", IsArray(c)
s = "" : For Each x In Array("x", "y") : s = s & x : Next : T "for each", s

' Procedures: ByRef by default, ByVal, parentheses pass by value, Call, recursion, Exit
Sub Bump(n) : n = n + 1 : End Sub
Sub BumpVal(ByVal n) : n = n + 1 : End Sub
Function Fib(n) : If n < 2 Then Fib = n : Exit Function
  Fib = Fib(n - 1) + Fib(n - 2)
End Function
i = 1 : Bump i : T "byref", i
BumpVal i : T "byval", i
Bump (i) : T "paren by value", i
Call Bump(i) : T "call byref", i
b(1) = 5 : Bump b(1) : T "byref element", b(1)
T "recursion", Fib(15)

' Classes: properties Get/Let/Set, default member, Me, Initialize/Terminate, With
Class Counter
  Private mCount
  Public Name
  Private Sub Class_Initialize : mCount = 0 : Name = "c" : End Sub
  Private Sub Class_Terminate : WScript.Echo "terminate " & Name : End Sub
  Public Default Property Get Count : Count = mCount : End Property
  Public Property Let Count(v) : mCount = v : End Property
  Public Sub Add(n) : mCount = mCount + n : End Sub
  Public Function Twice : Twice = Me.Count * 2 : End Function
End Class
Dim k : Set k = New Counter
k.Add 3 : k.Count = k.Count + 1
T "class", k.Count & " " & k.Twice & " " & k & " " & TypeName(k)
With k : .Name = "w" : .Add 10 : T "with", .Count & .Name : End With
Bump k.Count : T "byref property", k.Count
Set x = k : Set k = Nothing : T "still held", x.Name
Set x = Nothing
T "after nothing", "done"

' Hoisting: procedures and classes declared below are usable above
T "hoisted", Later(2)
Function Later(n) : Later = n * 21 : End Function

' Line continuation, colons, comments, case-insensitive names
s = "con" & _
    "tinued" : REM a comment
T "continuation", S & " " & LEN(s)

' Is compares identity; Property Set; classes and variables are usable before their declarations
Set x = New Linked : Set x.Link = x
T "Is", (x.Link Is x) & " " & (x Is Nothing) & " " & (Nothing Is Nothing)
Set x.Link = Nothing
lateVar = 5 : T "dim hoisted", lateVar
Dim lateVar
Class Linked
  Private mLink
  Public Property Get Link : Set Link = mLink : End Property
  Public Property Set Link(v) : Set mLink = v : End Property
End Class
