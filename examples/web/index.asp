<% Response.Redirect "gallery.asp" %>
