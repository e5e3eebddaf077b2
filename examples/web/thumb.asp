<%@ Language="VBScript" %>
<!-- #include virtual="/inc/photos.inc" -->
<%
' A photo scaled to the width the request asks for (thumb.asp?w=200&name=harbour.jpg), as JPEG.
' rqtHighQualityBicubicMode comes from the type library global.asa names.
Option Explicit
Const MaxWidth = 2000
Dim w, h, name, photo, names

Sub Refuse(status, message)
  Response.Status = status
  Response.ContentType = "text/html"
  Response.Write "<!DOCTYPE html><html><body><h1>" & status & "</h1><p class=""error"">" & Server.HTMLEncode(message) & "</p></body></html>"
  Response.End
End Sub

w = Request.QueryString("w")
If IsEmpty(w) Or Not IsNumeric(w) Then Refuse "400 Bad Request", "The width w must be a whole number from 1 to " & MaxWidth & "."
If InStr(w, ".") > 0 Or InStr(w, ",") > 0 Then Refuse "400 Bad Request", "The width w must be a whole number from 1 to " & MaxWidth & "."
If CDbl(w) < 1 Or CDbl(w) > MaxWidth Then Refuse "400 Bad Request", "The width w must be a whole number from 1 to " & MaxWidth & "."
w = CLng(w)

name = Request.QueryString("name")
If IsEmpty(name) Then
  names = PhotoNames()
  If UBound(names) < 0 Then Refuse "404 Not Found", "The site has no photos."
  name = names(0)
ElseIf KnownPhoto(name) = "" Then
  Refuse "404 Not Found", "There is no photo named " & name & "."
End If

Set photo = Server.CreateObject("Zentarix.RasterObject")
photo.LoadFile Server.MapPath("/photos/" & KnownPhoto(name))
h = Round(photo.Height * w / photo.Width)
If h < 1 Then h = 1
photo.Resize w, h, rqtHighQualityBicubicMode
photo.EncoderOptions("JPEGQuality") = 85
Response.Clear  ' the page's line breaks between blocks are not part of the image
Response.ContentType = "image/jpeg"
Response.Expires = 10
photo.SaveStream Response
%>
