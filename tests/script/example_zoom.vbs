' After examples/scripts/zoom_animation.vbs with three 96-pixel frames: a GIF of three frames whose
' progress bar reaches the right edge only in the last.
Set film = CreateObject("Zentarix.RasterCollection")
WScript.Echo film.GetFramesCount("zoom.gif")
film.LoadMultiframeImage "zoom.gif"
For Each frame In film
  WScript.Echo frame.Width, frame.Height, frame.Pixels(94, 53) = -1, frame.Pixels(20, 53) = -1
Next
