# The version record of tolv.exe, shared by its resource script (tolv.rc.in) and the
# setup program (packaging/win32), so that the installed-programs entry shows what the
# program file says.
set(TOLVANE_WIN32_VERSION 1.0.0.0)
string(REPLACE "." "," TOLVANE_WIN32_VERSION_COMMAS ${TOLVANE_WIN32_VERSION})
set(TOLVANE_WIN32_FILE_VERSION "1.00")
set(TOLVANE_WIN32_PRODUCT_VERSION "1.00")
set(TOLVANE_WIN32_COMPANY "Quenmoor")
set(TOLVANE_WIN32_PRODUCT "tolv2")
set(TOLVANE_WIN32_INTERNAL_NAME "tolv")
set(TOLVANE_WIN32_ORIGINAL_FILENAME "tolv.exe")
