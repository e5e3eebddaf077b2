<%@ Language="VBScript" CodePage=65001 %>
<!-- #include virtual="/inc/photos.inc" -->
<%
Option Explicit
Dim pageTitle, name, names
pageTitle = "Gallery"
CountPage
Session("visits") = Session("visits") + 1
names = PhotoNames()
%>
<!-- #include virtual="/inc/header.inc" -->
<% If UBound(names) < 0 Then %>
<p>No photos yet: <a href="upload.asp">upload one</a>.</p>
<% End If %>
<% For Each name In names %>
<figure>
  <a href="thumb.asp?name=<%= Server.URLEncode(name) %>&amp;w=1024"><img src="thumb.asp?name=<%= Server.URLEncode(name) %>&amp;w=200" alt="<%= Server.HTMLEncode(name) %>"></a>
  <figcaption><%= Server.HTMLEncode(name) %></figcaption>
</figure>
<% Next %>
<p>Your visits this session: <%= Session("visits") %>.</p>
<p id="status">loading</p>
<script>
// Once every image has loaded or failed: how many arrived with pixels (naturalWidth > 0).
window.addEventListener("load", function () {
  var images = Array.prototype.slice.call(document.images);
  var loaded = images.filter(function (i) { return i.complete && i.naturalWidth > 0; });
  document.getElementById("status").textContent = "images loaded: " + loaded.length + " of " + images.length +
    " (" + loaded.map(function (i) { return i.naturalWidth + "x" + i.naturalHeight; }).join(" ") + ")";
});
</script>
<!-- #include virtual="/inc/footer.inc" -->
