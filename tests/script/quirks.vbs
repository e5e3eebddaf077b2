' The language's documented rules that reimplementations get wrong, one per line.
Dim a, e, n, v(2), s
Sub T(label, value) : WScript.Echo label & " = " & value & " (" & TypeName(value) & ")" : End Sub

' Integer division and half-to-even rounding
T "7 \ 2", 7 \ 2
T "-7 \ 2", -7 \ 2
T "7.5 \ 2", 7.5 \ 2
T "-7 Mod 3", -7 Mod 3
T "CInt(2.5)", CInt(2.5)
T "CInt(3.5)", CInt(3.5)
T "CLng(-2.5)", CLng(-2.5)
T "Round(0.125, 2)", Round(0.125, 2)
T "Round(-1.5)", Round(-1.5)
T "v(1.5) index", Mid("abcdef", 2.5, 1)
T "Int(-2.5)", Int(-2.5)
T "Fix(-2.5)", Fix(-2.5)

' Literal types and growth: Integer -> Long -> Double
T "32767 + 1", 32767 + 1
T "2147483647 + 1", 2147483647 + 1
T "&HFFFF", &HFFFF
T "&H10000", &H10000
T "32768", 32768
T "2147483648", 2147483648
T "1.5 * 2", 1.5 * 2
T "5 / 1", 5 / 1
T "1 / 3", 1 / 3
T "1E20", 1E20
T "123456789012345678", 123456789012345678
T "0.1 + 0.2", 0.1 + 0.2
T "True + True", True + True
T "2 ^ 0.5", 2 ^ 0.5

' Strings and numbers meeting
T """1"" + 2", "1" + 2
T """1"" + ""2""", "1" + "2"
T """1"" & 2", "1" & 2
a = "10" : n = 9
T "var ""10"" > 9", a > n
T "var ""10"" < 9", a < n
T """abc"" < ""abd""", "abc" < "abd"
T """a"" = ""A""", "a" = "A"
If "True" Then T "If ""True""", "taken"

' Empty and Null
T "Empty + 1", e + 1
T "Empty & ""x""", e & "x"
T "Empty = 0", e = 0
T "Empty = """"", e = ""
T "Null + 1", Null + 1
T "Null & ""x""", Null & "x"
T "Null = Null", IsNull(Null = Null)
T "Null And False", Null And False
T "Null Or True", Null Or True
If Null Then T "If Null", "taken" Else T "If Null", "not taken"

' Logic on integers and booleans; no short circuit
T "6 And 3", 6 And 3
T "6 Or 3", 6 Or 3
T "6 Xor 3", 6 Xor 3
T "Not 0", Not 0
T "True Eqv False", True Eqv False
T "False Imp True", False Imp True
Function Mark(x) : s = s & x : Mark = x : End Function
s = "" : a = Mark(False) And Mark(True) : T "And evaluates both", s
s = "" : a = Mark(True) Or Mark(False) : T "Or evaluates both", s
T "-2 ^ 2", -2 ^ 2
T "2 + 3 * 4 ^ 2 \ 3 Mod 5", 2 + 3 * 4 ^ 2 \ 3 Mod 5
T "1 < 2 = True", 1 < 2 = True

' Strings are one-based
T "Mid(""hello"", 2, 3)", Mid("hello", 2, 3)
T "InStr(""hello"", ""l"")", InStr("hello", "l")
T "InStr(4, ""hello"", ""l"")", InStr(4, "hello", "l")
T "InStr(1, ""HeLLo"", ""ll"", 1)", InStr(1, "HeLLo", "ll", 1)
T "InStrRev(""hello"", ""l"")", InStrRev("hello", "l")
T "Split limit", Join(Split("a,b,c,d", ",", 2), "|")
T "Split count", UBound(Split("", ","))

' ReDim Preserve may change the last dimension only; a Dim with bounds is fixed
ReDim g(1, 2) : g(1, 2) = "kept"
ReDim Preserve g(1, 5) : T "Preserve last dimension", g(1, 2) & " " & UBound(g, 2)
On Error Resume Next
ReDim Preserve g(2, 5) : T "Preserve first dimension", Err.Number & " " & Err.Description : Err.Clear
Dim fixedArr(2) : ReDim fixedArr(5) : T "ReDim fixed array", Err.Number & " " & Err.Description
On Error GoTo 0
n = Rnd : T "Rnd(0) repeats the last", Rnd(0) = n
T "Rnd(-1) restarts", Rnd(-1) = Rnd(-1)
