#pragma once

#include <string>
#include <string_view>

namespace velquist::ProgramName {

// The last component of a path ("aider" for "/usr/bin/aider").
std::string baseName(std::string_view path);

// Whether a program runs other programs' code (python, node, sh, env, flatpak ...), so that the
// script it runs names the process better than the program itself.
bool isInterpreter(std::string_view program);

} // namespace velquist::ProgramName
