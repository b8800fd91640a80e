# The virtual display every Wine run of the project uses. Source this file.
#
#   "${virtual_display[@]}" COMMAND...   runs COMMAND on a display of its own
#
# 1024x768 in 24-bit colour, the screen the window layouts and screenshots
# are made for. -noreset: the programs under test are often the display's
# only clients (wine64's explorer.exe does not stay), and one that connects
# while the server resets after the previous one left is ended by Wine with
# exit code 1.
virtual_display=(xvfb-run -a -s "-screen 0 1024x768x24 -noreset")
