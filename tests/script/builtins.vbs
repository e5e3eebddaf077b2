' Built-in functions and constants with the values the language documents.
Dim d, e, a, o
Sub T(label, value) : WScript.Echo label & " = " & value : End Sub

T "Len Left Right", Len("hello") & " " & Left("hello", 2) & " " & Right("hello", 3) & " " & Len(12.5)
T "Mid to end", Mid("hello", 3)
T "Replace", Replace("a-b-c", "-", "+") & " " & Replace("aXbxc", "x", "_", 1, -1, 1) & " " & Replace("abcabc", "b", "", 3)
T "Replace count", Replace("aaaa", "a", "b", 1, 2)
T "Join Split", Join(Split("x y  z"), "/")
T "case", UCase("MiXed") & " " & LCase("MiXed")
T "trim", "[" & Trim("  a  ") & "][" & LTrim("  a  ") & "][" & RTrim("  a  ") & "]"
T "Space String", "[" & Space(3) & "]" & String(3, "ab") & String(2, 65)
T "StrReverse", StrReverse("abc")
T "StrComp", StrComp("a", "b") & " " & StrComp("B", "a", 1) & " " & StrComp("x", "x")
T "Chr Asc", Chr(65) & Asc("a") & " " & AscW(ChrW(8364)) & " " & Asc(Chr(128))
T "CBool CByte CSng", CBool("True") & " " & CBool(0) & " " & CByte(255) & " " & CSng(1.5)
T "CStr CDbl", CStr(True) & " " & CDbl("2.5") & " " & CStr(1 / 4)
T "Hex Oct", Hex(255) & " " & Hex(-1) & " " & Hex(CLng(-1)) & " " & Oct(8)
T "Abs Sgn Sqr", Abs(-3) & " " & Sgn(-0.5) & " " & Sqr(16) & " " & Abs("-2")
T "Exp Log Atn", Round(Exp(1), 6) & " " & Round(Log(100) / Log(10), 6) & " " & Round(Atn(1) * 4, 6)
T "Sin Cos", Round(Sin(0), 3) & " " & Cos(0)
T "Rnd sequence", Rnd() & " " & Rnd()
T "IsNumeric", IsNumeric("12.5") & " " & IsNumeric("12a") & " " & IsNumeric(e) & " " & IsNumeric(Null)
T "IsEmpty IsNull", IsEmpty(e) & " " & IsNull(Null) & " " & IsEmpty("")
Set o = CreateObject("Scripting.Dictionary")
T "IsObject IsArray", IsObject(o) & " " & IsObject(1) & " " & IsArray(Array()) & " " & IsArray("a")
T "TypeName", TypeName(1) & " " & TypeName(70000) & " " & TypeName(1.5) & " " & TypeName("s") & " " & _
  TypeName(True) & " " & TypeName(e) & " " & TypeName(Null) & " " & TypeName(Nothing) & " " & TypeName(Array())
T "VarType", VarType(1) & " " & VarType("s") & " " & VarType(Array()) & " " & VarType(#1/2/2003#) & " " & VarType(CByte(1))
a = Array(1, "two", 3.5)
T "Array UBound LBound", UBound(a) & " " & LBound(a) & " " & a(1)
T "constants", Len(vbCrLf) & " " & Asc(vbTab) & " " & vbTextCompare & " " & vbObjectError & " " & vbString & " " & Asc(vbNewLine)
T "FormatNumber", FormatNumber(1234567.891) & " " & FormatNumber(0.5, 0) & " " & FormatNumber(-3, 1)
T "RGB", RGB(255, 0, 1)

' Dates (VT_DATE)
d = #2/29/2024 13:45:10#
T "date parts", Year(d) & " " & Month(d) & " " & Day(d) & " " & Hour(d) & " " & Minute(d) & " " & Second(d) & " " & Weekday(d)
T "date text", d & " | " & CStr(DateSerial(2024, 1, 31)) & " | " & TimeSerial(9, 5, 0)
T "DateAdd", DateAdd("d", 1, d) & " | " & DateAdd("m", 1, #1/31/2024#) & " | " & DateAdd("yyyy", 1, d) & " | " & DateAdd("h", -14, d)
T "DateDiff", DateDiff("d", #1/1/2024#, #3/1/2024#) & " " & DateDiff("m", #1/31/2024#, #2/1/2024#) & " " & _
  DateDiff("yyyy", #12/31/2023#, #1/1/2024#) & " " & DateDiff("n", #1:59#, #2:01#) & " " & DateDiff("w", #1/1/2024#, #1/20/2024#)
T "DateSerial carries", DateSerial(2024, 13, 1) & " " & DateSerial(2024, 3, 0)
T "FormatDateTime", FormatDateTime(d, 1) & " | " & FormatDateTime(d, 2) & " | " & FormatDateTime(d, 3) & " | " & FormatDateTime(d, 4)
T "CDate IsDate", CDate("2024-01-31") & " " & IsDate("31 Jan 2024") & " " & IsDate("nonsense") & " " & MonthName(2, True)
T "date arithmetic", (#3/1/2024# - #2/1/2024#) & " " & TypeName(d + 1) & " " & (d + 1)
T "Now Date Time Timer", TypeName(Now) & " " & (Now >= Date) & " " & (Time < 1) & " " & (Timer < 86400)
