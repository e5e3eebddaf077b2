<%@ Language="VBScript" %>
<!-- #include virtual="/inc/photos.inc" -->
<%
' A photo sent from the form, shown back at 480 pixels wide with its caption, and kept in the
' gallery. Request is the upload's stream: LoadStream reads the file part of the form.
Option Explicit
Const ShownWidth = 480
Dim pageTitle, photo, caption, saved, failure, n
pageTitle = "Upload a photo"
CountPage
failure = ""
saved = ""
If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
  caption = Request.Form("caption")
  Set photo = Server.CreateObject("Zentarix.RasterObject")
  On Error Resume Next
  photo.LoadStream Request
  If Err.Number <> 0 Then failure = "The upload is not a photo this site can read: " & Err.Description
  On Error GoTo 0
  If failure = "" Then
    If photo.Width > ShownWidth Then photo.Resize ShownWidth, Round(photo.Height * ShownWidth / photo.Width), rqtHighQualityBicubicMode
    Application.Lock
    Application("uploads") = Application("uploads") + 1
    n = Application("uploads")
    Application.Unlock
    saved = "upload-" & Session.SessionID & "-" & n & ".jpg"
    photo.OutputFileType = oftJPEG
    photo.SaveFile Server.MapPath("/photos/" & saved)
  Else
    Response.Status = "400 Bad Request"
  End If
End If
%>
<!-- #include virtual="/inc/header.inc" -->
<% If failure <> "" Then %>
<p class="error" id="failure"><%= Server.HTMLEncode(failure) %></p>
<% ElseIf saved <> "" Then %>
<figure id="shown">
  <img src="photos/<%= Server.URLPathEncode(saved) %>" width="<%= photo.Width %>" height="<%= photo.Height %>" alt="">
  <figcaption><%= Server.HTMLEncode(caption) %></figcaption>
</figure>
<% End If %>
<form method="post" enctype="multipart/form-data" action="upload.asp">
  <p><input type="file" name="photo" accept="image/*"></p>
  <p><label>Caption <input type="text" name="caption"></label></p>
  <p><input type="submit" value="Upload"></p>
</form>
<!-- #include virtual="/inc/footer.inc" -->
