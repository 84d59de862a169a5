# Runs at install time, when the prefix is known: the desktop entry starts the program where this
# install puts it, which a launcher finds whether or not that folder is on the PATH.
set(program "${CMAKE_INSTALL_PREFIX}/bin/velquist")
# One quoted argument of Exec, with the characters the quoting reserves escaped, then escaped
# again as a string value, and "%" doubled.
string(REPLACE "\\" "\\\\" exec "${program}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
set(exec "\"${exec}\"")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(VELQUIST_DESKTOP_EXEC "${exec}")
configure_file("${VELQUIST_DESKTOP_TEMPLATE}" "${VELQUIST_DESKTOP_OUTPUT}" @ONLY)
file(INSTALL "${VELQUIST_DESKTOP_OUTPUT}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
